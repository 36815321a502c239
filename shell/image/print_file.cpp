// Prints to a PDF file through a checked temporary file of the safe writer.
#include "shell/image/print_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QPaintEngine>
#include <QPrinter>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace {

int errno_or_eio() {
    return errno ? errno : EIO;
}

// Exactly `n` bytes at `at`; false when the file holds fewer.
bool read_at(int fd, off_t at, size_t n, std::string* out) {
    out->resize(n);
    size_t got = 0;
    while (got < n) {
        const ssize_t r = ::pread(fd, out->data() + got, n - got, at + off_t(got));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) return false;
        got += size_t(r);
    }
    return true;
}

bool pdf_complete(int fd) {
    struct stat st;
    if (::fstat(fd, &st) != 0) return false;
    // The end: "startxref", the table's offset, "%%EOF".
    const off_t tail_at = st.st_size > 1024 ? st.st_size - 1024 : 0;
    std::string tail;
    if (!read_at(fd, tail_at, size_t(st.st_size - tail_at), &tail)) return false;
    size_t end = tail.size();
    while (end > 0 && std::isspace(static_cast<unsigned char>(tail[end - 1]))) --end;
    if (end < 5 || tail.compare(end - 5, 5, "%%EOF") != 0) return false;
    const size_t start = tail.rfind("startxref", end - 5);
    if (start == std::string::npos) return false;
    char* stop = nullptr;
    const long long xref = std::strtoll(tail.c_str() + start + 9, &stop, 10);
    const off_t table_end = tail_at + off_t(start);
    if (stop == tail.c_str() + start + 9 || xref < 0 || xref >= table_end) return false;
    // The table: "xref", sections of "first count" and 20-byte entries, "trailer".
    std::string table;
    if (!read_at(fd, xref, size_t(table_end - xref), &table) || table.compare(0, 4, "xref") != 0)
        return false;
    size_t i = 4;
    for (;;) {
        while (i < table.size() && std::isspace(static_cast<unsigned char>(table[i]))) ++i;
        if (table.compare(i, 7, "trailer") == 0) return true;
        unsigned long long first = 0, count = 0;
        int used = 0;
        if (std::sscanf(table.c_str() + i, "%llu %llu%n", &first, &count, &used) != 2) return false;
        i += size_t(used);
        while (i < table.size() && (table[i] == '\r' || table[i] == '\n' || table[i] == ' ')) ++i;
        if (count > (table.size() - i) / 20) return false;
        for (unsigned long long k = 0; k < count; ++k, i += 20) {
            const char kind = table[i + 17];
            if (kind == 'f') continue;
            if (kind != 'n') return false;
            // The object must start where its entry says: "<number> <generation> obj".
            const long long at = std::atoll(table.c_str() + i);
            const int generation = std::atoi(table.c_str() + i + 11);
            char want[64];
            const int n = std::snprintf(want, sizeof want, "%llu %d obj", first + k, generation);
            std::string head;
            if (at < 0 || at >= xref || !read_at(fd, at, size_t(n), &head) || head != want)
                return false;
        }
    }
}

// The error a write at the end of `path` meets now; EIO when writing would succeed
// (whatever stopped the writer has gone).
int write_error_now(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd < 0) return errno_or_eio();
    static const char zeros[65536] = {};
    int err = 0;
    for (int i = 0; i < 16 && !err; ++i) {
        if (::write(fd, zeros, sizeof zeros) < 0 && errno != EINTR) err = errno_or_eio();
    }
    ::close(fd);
    return err ? err : EIO;
}

}  // namespace

bool print_is_preview(QPrinter* printer) {
    return printer && printer->paintEngine() &&
           printer->paintEngine()->type() == QPaintEngine::Picture;
}

int pdf_file_check(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno_or_eio();
    const bool complete = pdf_complete(fd);
    ::close(fd);
    return complete ? 0 : write_error_now(path);
}

PrintFile::PrintFile(QPrinter* printer) {
    if (!printer || print_is_preview(printer) || printer->outputFormat() != QPrinter::PdfFormat)
        return;
    name_ = printer->outputFileName();
    if (name_.isEmpty()) return;
    // A pipe, a folder or a file this user may not write is refused at once and
    // stays as it is.
    error_ = file_.open(QFile::encodeName(name_).constData());
    if (error_) return;
    printer_ = printer;
    printer->setOutputFileName(QFile::decodeName(file_.temp_path().c_str()));
}

PrintFile::~PrintFile() {
    file_.abort();
    restore();
}

void PrintFile::restore() {
    if (printer_) printer_->setOutputFileName(name_);
    printer_ = nullptr;
}

int PrintFile::finish() {
    if (file_.temp_path().empty()) return error_;
    QPrinter* printer = printer_;
    restore();
    const int err = pdf_file_check(file_.temp_path());
    if (err) {
        // Qt's writer stops writing for good after a failed write (its stream keeps
        // the error): the printer gets a new one, with the same settings, by way of
        // another PDF version.
        const QPrinter::PdfVersion version = printer->pdfVersion();
        printer->setPdfVersion(version == QPrinter::PdfVersion_1_4 ? QPrinter::PdfVersion_1_6
                                                                   : QPrinter::PdfVersion_1_4);
        printer->setPdfVersion(version);
        file_.abort();
        return err;
    }
    // Written by Qt under the temporary's name, into the file the writer holds open:
    // the writer syncs and renames it.
    return file_.commit();
}
