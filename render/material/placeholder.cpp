// The image-map pattern class and image attachment of texture mappings.
