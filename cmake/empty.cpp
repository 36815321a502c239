// Stands in for a library folder that has no source file yet.
