#include "program_file.h"

#include <filesystem>
#include <system_error>

#include "platform.h"

namespace {
constexpr std::size_t BUFFER_SIZE = 64 * 1024;
}

CProgramFile::OpenResult CProgramFile::Open(const std::string& path)
{
    Close();
    std::error_code error;
    const std::filesystem::path filePath = PathFromUtf8(path);
    // Only regular files: a FIFO or a device would block the panel or never end.
    if (path.empty() || !std::filesystem::is_regular_file(filePath, error))
        return OPEN_FAILED;
    const std::uintmax_t fileSize = std::filesystem::file_size(filePath, error);
    if (error)
        return OPEN_FAILED;
    if (fileSize > MAX_FILE_SIZE)
        return OPEN_TOO_LARGE;
    stream = OpenFileForReading(path);
    if (stream == nullptr)
        return OPEN_FAILED;
    size = fileSize;
    buffer.resize(BUFFER_SIZE);
    bufferFill = 0;
    bufferNext = 0;
    return OPEN_OK;
}

void CProgramFile::Close()
{
    if (stream != nullptr)
        std::fclose(stream);
    stream = nullptr;
    bufferFill = 0;
    bufferNext = 0;
}

int CProgramFile::Refill()
{
    if (stream == nullptr)
        return READ_FAILED;
    bufferNext = 0;
    bufferFill = std::fread(buffer.data(), 1, buffer.size(), stream);
    if (bufferFill > 0)
        return READ_BYTE;
    return std::ferror(stream) ? READ_FAILED : READ_END;
}

bool CProgramFile::SeekToStart()
{
    bufferFill = 0;
    bufferNext = 0;
    if (stream == nullptr)
        return false;
    std::clearerr(stream);
    return std::fseek(stream, 0, SEEK_SET) == 0;
}
