// File, text and path service: array files (raw and decimal text), file removal and renaming,
// the version-text formatting, and the program's own directory. The file dialog lives with the
// panel service.
#include "runtime/files.h"
#include "runtime/files_platform.h"
#include "runtime/panel.h"
#include "runtime/program_dir.h"
#include "runtime/testing.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTemporaryFile>

#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

// Numbers are written and read with the C++ character conversions, which ignore the locale
// (the GUI application sets the user's locale, which may use a decimal comma).

constexpr int kMaxFieldWidth = 1024;

// The one place where errno values become the file service's error codes.
int fileErrorFromErrno(int err) {
    switch (err) {
    case EIO:
    case ENOSPC:
    case EFBIG:
        return kFileErrIo;
    default:
        return kFileErrOpen;
    }
}

std::size_t elementSize(int dataType) {
    switch (dataType) {
    case kTypeChar:
        return 1;
    case kTypeDouble:
        return sizeof(double);
    case kTypeUShort:
        return sizeof(std::uint16_t);
    case kTypeUInt:
        return sizeof(std::uint32_t);
    default:
        return 0;
    }
}

// Decimal text of element i.
std::string formatElement(const void* array, int dataType, std::size_t i) {
    char text[64];
    std::to_chars_result r{};
    switch (dataType) {
    case kTypeChar:
        r = std::to_chars(text, text + sizeof text,
                          static_cast<unsigned>(static_cast<const unsigned char*>(array)[i]));
        break;
    case kTypeDouble:
        r = std::to_chars(text, text + sizeof text, static_cast<const double*>(array)[i]);
        break;
    case kTypeUShort:
        r = std::to_chars(text, text + sizeof text, static_cast<const std::uint16_t*>(array)[i]);
        break;
    default:
        r = std::to_chars(text, text + sizeof text, static_cast<const std::uint32_t*>(array)[i]);
        break;
    }
    return std::string(text, r.ptr);
}

bool parseUnsigned(std::string_view token, std::uint64_t max, std::uint64_t& value) {
    if (token.empty() || token[0] == '-') return false;
    const auto r = std::from_chars(token.data(), token.data() + token.size(), value);
    return r.ec == std::errc() && r.ptr == token.data() + token.size() && value <= max;
}

// Parses one token as an element of dataType into out (elementSize bytes).
bool parseElement(std::string_view token, int dataType, unsigned char* out) {
    if (token.size() > 1 && token[0] == '+') token.remove_prefix(1);
    switch (dataType) {
    case kTypeChar: {
        long long v = 0;
        const auto r = std::from_chars(token.data(), token.data() + token.size(), v);
        if (r.ec != std::errc() || r.ptr != token.data() + token.size() || v < -128 || v > 255)
            return false;
        out[0] = static_cast<unsigned char>(v & 0xFF);
        return true;
    }
    case kTypeDouble: {
        double v = 0;
        const auto r = std::from_chars(token.data(), token.data() + token.size(), v);
        if (r.ec != std::errc() || r.ptr != token.data() + token.size()) return false;
        std::memcpy(out, &v, sizeof v);
        return true;
    }
    case kTypeUShort: {
        std::uint64_t v = 0;
        if (!parseUnsigned(token, 0xFFFF, v)) return false;
        const auto w = static_cast<std::uint16_t>(v);
        std::memcpy(out, &w, sizeof w);
        return true;
    }
    default: {
        std::uint64_t v = 0;
        if (!parseUnsigned(token, 0xFFFFFFFFu, v)) return false;
        const auto w = static_cast<std::uint32_t>(v);
        std::memcpy(out, &w, sizeof w);
        return true;
    }
    }
}

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// Reads a file front to back in chunks, as white-space separated tokens or as raw bytes, so that
// only as much of a file is read as the values asked for need.
class FileReader {
public:
    explicit FileReader(const char* path) : f_(std::fopen(path, "rb")), openErrno_(errno) {}
    ~FileReader() {
        if (f_) std::fclose(f_);
    }
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;

    // 0 when open, else the FileError of the failed open.
    int openError() const { return f_ ? 0 : fileErrorFromErrno(openErrno_); }
    bool failed() const { return failed_; }

    // The next token into out: false at the end of the file, on a read error (failed()) or
    // when the token is longer than kMaxNumberText (out then holds its first kMaxNumberText + 1
    // characters, which never parse as a number).
    bool token(std::string& out) {
        out.clear();
        int c;
        while ((c = next()) != EOF && isSpace(static_cast<char>(c))) {
        }
        while (c != EOF && !isSpace(static_cast<char>(c))) {
            out.push_back(static_cast<char>(c));
            if (out.size() > kMaxNumberText) return true;
            c = next();
        }
        return !out.empty() && !failed_;
    }

    // Reads exactly n bytes into out; false when the file is shorter or unreadable.
    bool bytes(unsigned char* out, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i) {
            const int c = next();
            if (c == EOF) return false;
            out[i] = static_cast<unsigned char>(c);
        }
        return true;
    }

private:
    int next() {
        if (pos_ == len_) {
            if (failed_) return EOF;
            len_ = std::fread(buf_, 1, sizeof buf_, f_);
            pos_ = 0;
            if (len_ == 0) {
                failed_ = std::ferror(f_) != 0;
                return EOF;
            }
        }
        return static_cast<unsigned char>(buf_[pos_++]);
    }

    std::FILE* f_;
    int openErrno_;
    char buf_[8192];
    std::size_t pos_ = 0, len_ = 0;
    bool failed_ = false;
};

// Writes content completely beside the file and renames it over the file in one step: a write
// that fails half-way (a full disk, a file-size limit) leaves the old file whole.
int replaceFile(const char* path, const std::string& content) {
    QSaveFile f(QString::fromLocal8Bit(path));
    // Unbuffered, so that a short write shows in write()'s result and not only at commit.
    if (!f.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) return kFileErrOpen;
    if (f.write(content.data(), static_cast<qint64>(content.size())) !=
        static_cast<qint64>(content.size())) {
        f.cancelWriting();
        f.commit();
        return kFileErrIo;
    }
    return f.commit() ? 0 : kFileErrIo;
}

} // namespace

const char* FileErrorText(int code) {
    switch (code) {
    case kFileErrOpen:
        return "Cannot open file";
    case kFileErrIo:
        return "File read or write failed";
    case kFileErrFormat:
        return "File holds too few values or no number";
    case kFileErrArgument:
        return "Invalid file argument";
    case kFileErrTooLong:
        return "Path or text too long";
    case kFileErrDialog:
        return "File dialog cannot be shown";
    default:
        return "File error";
    }
}

int ArrayToFile(const char* file, const void* array, int dataType, int count, int numberOfGroups,
                int /*dataOrder*/, int /*layout*/, int separator, int fieldWidth, int fileType,
                int action) {
    // With one group, data order and layout make no difference: one number per line.
    const std::size_t size = elementSize(dataType);
    if (!file || !*file || size == 0 || count < 0 || (count > 0 && !array) || numberOfGroups != 1 ||
        (fileType != 0 && fileType != 1) || (action != 0 && action != 1))
        return kFileErrArgument;
    if (fileType == 1 &&
        ((separator != 0 && separator != 2) || fieldWidth < 0 || fieldWidth > kMaxFieldWidth))
        return kFileErrArgument;

    std::string content;
    const auto n = static_cast<std::size_t>(count);
    if (fileType == 0) {
        content.assign(static_cast<const char*>(array), n * size);
    } else {
        for (std::size_t i = 0; i < n; ++i) {
            const std::string number = formatElement(array, dataType, i);
            const auto width = static_cast<std::size_t>(fieldWidth);
            if (separator == 0 && number.size() < width) content.append(width - number.size(), ' ');
            content += number;
            content += '\n';
        }
    }

    files_detail::ignoreFileSizeSignal();
    // Only a regular file (or a new one) is replaced through a file beside it; a device or a
    // pipe is written as it is.
    const QFileInfo target(QString::fromLocal8Bit(file));
    if (action == 0 && (!target.exists() || target.isFile())) return replaceFile(file, content);
    std::FILE* f = std::fopen(file, action == 1 ? "ab" : "wb");
    if (!f) return fileErrorFromErrno(errno);
    // A full disk may show only when the buffer is flushed or the file closed.
    bool ok = std::fwrite(content.data(), 1, content.size(), f) == content.size();
    if (std::fflush(f) != 0) ok = false;
    if (std::fclose(f) != 0) ok = false;
    return ok ? 0 : kFileErrIo;
}

int FileToArray(const char* file, void* array, int dataType, int count, int numberOfGroups,
                int /*dataOrder*/, int /*layout*/, int fileType) {
    const std::size_t size = elementSize(dataType);
    if (!file || !*file || size == 0 || count < 0 || (count > 0 && !array) || numberOfGroups != 1 ||
        (fileType != 0 && fileType != 1))
        return kFileErrArgument;

    FileReader reader(file);
    if (const int error = reader.openError(); error < 0) return error;

    const auto n = static_cast<std::size_t>(count);
    // Everything is parsed into a copy first, so that a bad file leaves the array as it was.
    std::vector<unsigned char> values(n * size);
    if (fileType == 0) {
        if (!reader.bytes(values.data(), values.size()))
            return reader.failed() ? kFileErrIo : kFileErrFormat;
    } else {
        std::string token;
        for (std::size_t i = 0; i < n; ++i) {
            if (!reader.token(token)) // fewer numbers than asked for, or unreadable
                return reader.failed() ? kFileErrIo : kFileErrFormat;
            if (!parseElement(token, dataType, values.data() + i * size)) return kFileErrFormat;
        }
    }
    if (!values.empty()) std::memcpy(array, values.data(), values.size());
    return 0;
}

int RemoveFile(const char* path) {
    if (!path || !*path) return kFileErrArgument;
    const int err = files_detail::unlinkFile(path);
    return err == 0 ? 0 : fileErrorFromErrno(err);
}

int RenameFile(const char* oldPath, const char* newPath) {
    if (!oldPath || !*oldPath || !newPath || !*newPath) return kFileErrArgument;
    return std::rename(oldPath, newPath) == 0 ? 0 : fileErrorFromErrno(errno);
}

int Fmt(char* target, std::size_t targetSize, const char* format, const int* source) {
    // "%64c<%32i": 32 integers in, the low byte of each out as one character, up to the first
    // zero character.
    static constexpr char kVersionFormat[] = "%64c<%32i";
    constexpr int kSourceCount = 32;
    if (!target || !format || !source || std::strcmp(format, kVersionFormat) != 0)
        return kFileErrArgument;
    if (targetSize == 0) return kFileErrTooLong;
    std::size_t n = 0;
    for (int i = 0; i < kSourceCount && n + 1 < targetSize; ++i) {
        const auto c = static_cast<unsigned char>(static_cast<unsigned>(source[i]) & 0xFFu);
        if (c == 0) break;
        target[n++] = static_cast<char>(c);
    }
    target[n] = '\0';
    return static_cast<int>(n);
}

int StringLength(const char* text) {
    if (!text) return kFileErrArgument;
    return static_cast<int>(std::strlen(text));
}

namespace {
std::string programDirectoryOverride;
} // namespace

namespace runtime_detail {

std::string ProgramDirectory() {
    if (!programDirectoryOverride.empty()) return programDirectoryOverride;
    std::string dir;
    if (QCoreApplication::instance()) dir = QCoreApplication::applicationDirPath().toStdString();
    if (dir.empty()) {
        const std::string program = files_detail::programPath();
        const auto slash = program.find_last_of('/');
        if (slash != std::string::npos) dir = program.substr(0, slash == 0 ? 1 : slash);
    }
    while (dir.size() > 1 && dir.back() == '/')
        dir.pop_back();
    return dir;
}

} // namespace runtime_detail

void SetProgramDirectoryForTesting(const std::string& directory) {
    programDirectoryOverride = directory;
}

int GetProjectDir(char* directory, std::size_t size) {
    if (!directory) return kFileErrArgument;
    const std::string dir = runtime_detail::ProgramDirectory();
    if (dir.empty()) return kFileErrOpen;
    if (dir.size() + 1 > size) return kFileErrTooLong;
    std::memcpy(directory, dir.c_str(), dir.size() + 1);
    return 0;
}

int MakePathname(const char* directory, const char* fileName, char* path, std::size_t size) {
    if (!directory || !fileName || !path) return kFileErrArgument;
    std::string joined = directory;
    if (!joined.empty() && joined.back() != '/') joined += '/';
    joined += fileName;
    if (joined.size() + 1 > size) return kFileErrTooLong;
    std::memcpy(path, joined.c_str(), joined.size() + 1);
    return 0;
}

int GetOperatorDir(const char* preferred, char* directory, std::size_t size) {
    QString chosen = QString::fromLocal8Bit(preferred ? preferred : "");
    // Creating a file is the test that counts: permissions, a read-only mount, an access list.
    QTemporaryFile probe(chosen + QStringLiteral("/.evok-write-test-XXXXXX"));
    if (chosen.isEmpty() || !probe.open()) {
        chosen = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        if (chosen.isEmpty()) chosen = QDir::homePath() + QStringLiteral("/Documents");
        QDir().mkpath(chosen);
    }
    const QByteArray local = QDir::toNativeSeparators(chosen).toLocal8Bit();
    if (!directory || static_cast<std::size_t>(local.size()) >= size) return kFileErrTooLong;
    std::memcpy(directory, local.constData(), static_cast<std::size_t>(local.size()) + 1);
    return 0;
}
