#include "imaging/ZipArchive.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <sys/types.h>
#include <unistd.h>
#include <zip.h>

namespace quill {

namespace {

struct InputState {
    ZipBytes bytes;
    std::uint64_t position = 0;
    zip_error_t error;
};

// Copies up to length bytes at the reading place; a file that shrank gives fewer.
zip_int64_t readInput(InputState& in, void* out, std::uint64_t length) {
    const std::uint64_t wanted = std::min(length, in.bytes.size - in.position);
    if (in.bytes.fd < 0) {
        std::memcpy(out, in.bytes.data + in.position, wanted);
        in.position += wanted;
        return zip_int64_t(wanted);
    }
    std::uint64_t done = 0;
    while (done < wanted) {
        const ssize_t n = ::pread(in.bytes.fd, static_cast<char*>(out) + done, wanted - done,
                                  off_t(in.position + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            zip_error_set(&in.error, ZIP_ER_READ, errno);
            return -1;
        }
        if (n == 0)
            break;
        done += std::uint64_t(n);
    }
    in.position += done;
    return zip_int64_t(done);
}

zip_int64_t inputCallback(void* state, void* data, zip_uint64_t length, zip_source_cmd_t command) {
    auto& in = *static_cast<InputState*>(state);
    switch (command) {
    case ZIP_SOURCE_OPEN:
        in.position = 0;
        return 0;
    case ZIP_SOURCE_READ:
        return readInput(in, data, length);
    case ZIP_SOURCE_CLOSE:
        return 0;
    case ZIP_SOURCE_STAT: {
        auto* st = ZIP_SOURCE_GET_ARGS(zip_stat_t, data, length, &in.error);
        if (st == nullptr)
            return -1;
        zip_stat_init(st);
        st->size = in.bytes.size;
        st->valid |= ZIP_STAT_SIZE;
        return sizeof(zip_stat_t);
    }
    case ZIP_SOURCE_ERROR:
        return zip_error_to_data(&in.error, data, length);
    case ZIP_SOURCE_FREE:
        zip_error_fini(&in.error);
        delete &in;
        return 0;
    case ZIP_SOURCE_SEEK: {
        const zip_int64_t to =
            zip_source_seek_compute_offset(in.position, in.bytes.size, data, length, &in.error);
        if (to < 0)
            return -1;
        in.position = std::uint64_t(to);
        return 0;
    }
    case ZIP_SOURCE_TELL:
        return zip_int64_t(in.position);
    case ZIP_SOURCE_SUPPORTS:
        return ZIP_SOURCE_SUPPORTS_SEEKABLE;
    default:
        zip_error_set(&in.error, ZIP_ER_OPNOTSUPP, 0);
        return -1;
    }
}

std::string describe(zip_error_t* error) {
    return zip_error_strerror(error);
}

} // namespace

std::unique_ptr<ZipReader> ZipReader::open(const ZipBytes& bytes, std::string& error) {
    auto* state = new InputState{bytes, 0, {}};
    zip_error_init(&state->error);
    zip_error_t failure;
    zip_error_init(&failure);
    zip_source_t* source = zip_source_function_create(inputCallback, state, &failure);
    if (source == nullptr) {
        zip_error_fini(&state->error);
        delete state;
        error = describe(&failure);
        zip_error_fini(&failure);
        return nullptr;
    }
    zip_t* archive = zip_open_from_source(source, ZIP_RDONLY, &failure);
    if (archive == nullptr) {
        zip_source_free(source);
        error = describe(&failure);
        zip_error_fini(&failure);
        return nullptr;
    }
    zip_error_fini(&failure);
    return std::unique_ptr<ZipReader>(new ZipReader(archive));
}

ZipReader::~ZipReader() {
    zip_discard(m_zip);
}

bool ZipReader::entries(std::vector<ZipEntry>& out, std::uint64_t maxEntries, std::string& error) {
    const zip_int64_t count = zip_get_num_entries(m_zip, 0);
    if (count < 0 || std::uint64_t(count) > maxEntries) {
        error = "it holds more than " + std::to_string(maxEntries) + " entries";
        return false;
    }
    out.clear();
    out.reserve(std::size_t(count));
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t st;
        if (zip_stat_index(m_zip, zip_uint64_t(i), ZIP_FL_ENC_RAW, &st) != 0) {
            error = describe(zip_get_error(m_zip));
            return false;
        }
        const zip_uint64_t needed = ZIP_STAT_NAME | ZIP_STAT_SIZE | ZIP_STAT_COMP_SIZE |
                                    ZIP_STAT_COMP_METHOD | ZIP_STAT_ENCRYPTION_METHOD;
        if ((st.valid & needed) != needed || st.name == nullptr) {
            error = "an entry is not fully described";
            return false;
        }
        ZipEntry e;
        e.index = zip_uint64_t(i);
        e.name = st.name;
        e.size = st.size;
        e.compressedSize = st.comp_size;
        e.stored = st.comp_method == ZIP_CM_STORE;
        e.deflated = st.comp_method == ZIP_CM_DEFLATE;
        e.encrypted = st.encryption_method != ZIP_EM_NONE;
        out.push_back(std::move(e));
    }
    return true;
}

bool ZipReader::read(const ZipEntry& entry, std::uint8_t* out, std::string& error) {
    zip_file_t* file = zip_fopen_index(m_zip, entry.index, 0);
    if (file == nullptr) {
        error = describe(zip_get_error(m_zip));
        return false;
    }
    std::uint64_t done = 0;
    bool ok = true;
    while (ok && done < entry.size) {
        const zip_int64_t n = zip_fread(file, out + done, entry.size - done);
        if (n < 0) {
            error = describe(zip_file_get_error(file));
            ok = false;
        } else if (n == 0) {
            error = "it ends before its declared size";
            ok = false;
        } else {
            done += std::uint64_t(n);
        }
    }
    // One byte more reaches the end, where the checksum is checked, or shows data past
    // the declared size (a small declared size hiding a large inflated one).
    std::uint8_t beyond = 0;
    if (ok) {
        const zip_int64_t n = zip_fread(file, &beyond, 1);
        if (n < 0) {
            error = describe(zip_file_get_error(file));
            ok = false;
        } else if (n > 0) {
            error = "it inflates beyond its declared size";
            ok = false;
        }
    }
    zip_fclose(file);
    return ok;
}

struct ZipWriter::Output {
    std::FILE* file;
    zip_error_t error;
    int systemError = 0;
};

namespace {

zip_int64_t outputFailure(ZipWriter::Output& out, int zipError) {
    out.systemError = errno != 0 ? errno : EIO;
    zip_error_set(&out.error, zipError, out.systemError);
    return -1;
}

// The archive's own source: a new, empty file written in place. Reading it is never asked
// for (the archive is created empty), but libzip expects a source that could.
zip_int64_t outputCallback(void* state, void* data, zip_uint64_t length, zip_source_cmd_t command) {
    auto& out = *static_cast<ZipWriter::Output*>(state);
    switch (command) {
    case ZIP_SOURCE_STAT:
        // "No such file": the archive starts empty.
        zip_error_set(&out.error, ZIP_ER_READ, ENOENT);
        return -1;
    case ZIP_SOURCE_BEGIN_WRITE:
    case ZIP_SOURCE_ROLLBACK_WRITE:
    case ZIP_SOURCE_REMOVE:
    case ZIP_SOURCE_FREE:
    case ZIP_SOURCE_OPEN:
    case ZIP_SOURCE_CLOSE:
        return 0;
    case ZIP_SOURCE_WRITE:
        errno = 0;
        if (std::fwrite(data, 1, length, out.file) != length)
            return outputFailure(out, ZIP_ER_WRITE);
        return zip_int64_t(length);
    case ZIP_SOURCE_SEEK_WRITE: {
        auto* args = ZIP_SOURCE_GET_ARGS(zip_source_args_seek_t, data, length, &out.error);
        if (args == nullptr)
            return -1;
        errno = 0;
        if (::fseeko(out.file, off_t(args->offset), args->whence) != 0)
            return outputFailure(out, ZIP_ER_SEEK);
        return 0;
    }
    case ZIP_SOURCE_TELL_WRITE: {
        errno = 0;
        const off_t at = ::ftello(out.file);
        if (at < 0)
            return outputFailure(out, ZIP_ER_TELL);
        return zip_int64_t(at);
    }
    case ZIP_SOURCE_COMMIT_WRITE:
        errno = 0;
        if (std::fflush(out.file) != 0)
            return outputFailure(out, ZIP_ER_WRITE);
        return 0;
    case ZIP_SOURCE_ERROR:
        return zip_error_to_data(&out.error, data, length);
    case ZIP_SOURCE_SUPPORTS:
        return ZIP_SOURCE_SUPPORTS_WRITABLE;
    default:
        zip_error_set(&out.error, ZIP_ER_OPNOTSUPP, 0);
        return -1;
    }
}

} // namespace

ZipWriter::ZipWriter(std::FILE* file) : m_output(new Output{file, {}, 0}) {
    zip_error_init(&m_output->error);
    zip_error_t failure;
    zip_error_init(&failure);
    zip_source_t* source = zip_source_function_create(outputCallback, m_output.get(), &failure);
    if (source != nullptr) {
        m_zip = zip_open_from_source(source, ZIP_CREATE | ZIP_TRUNCATE, &failure);
        if (m_zip == nullptr)
            zip_source_free(source);
    }
    zip_error_fini(&failure);
}

ZipWriter::~ZipWriter() {
    if (m_zip != nullptr)
        zip_discard(m_zip);
    zip_error_fini(&m_output->error);
}

bool ZipWriter::add(const std::string& name, const std::uint8_t* data, std::size_t size,
                    Method method) {
    if (m_zip == nullptr)
        return false;
    zip_source_t* source = zip_source_buffer(m_zip, data, size, 0);
    if (source == nullptr)
        return false;
    const zip_int64_t index = zip_file_add(m_zip, name.c_str(), source, ZIP_FL_ENC_UTF_8);
    if (index < 0) {
        zip_source_free(source);
        return false;
    }
    // Unpacked by hand, the entries become ordinary files readable by all.
    constexpr zip_uint32_t kRegularFile = 0100644u << 16;
    return zip_set_file_compression(m_zip, zip_uint64_t(index),
                                    method == Method::Store ? ZIP_CM_STORE : ZIP_CM_DEFLATE,
                                    0) == 0 &&
           zip_file_set_external_attributes(m_zip, zip_uint64_t(index), 0, ZIP_OPSYS_UNIX,
                                            kRegularFile) == 0;
}

bool ZipWriter::finish() {
    if (m_zip == nullptr) {
        errno = 0;
        return false;
    }
    if (zip_close(m_zip) == 0) {
        m_zip = nullptr;
        return true;
    }
    zip_discard(m_zip);
    m_zip = nullptr;
    errno = m_output->systemError;
    return false;
}

} // namespace quill
