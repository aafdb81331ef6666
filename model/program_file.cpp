#include "program_file.h"

#include <array>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

#include "platform.h"

namespace {
constexpr std::size_t BUFFER_SIZE = 64 * 1024;
}

// Fills chunks of a few reads each on its own thread, CHUNKS of them ahead of
// the one being handed out. The reads are the one-thread reader's, so that a
// failing read ends the bytes at the same place.
class CProgramFile::CReadAhead {
public:
    explicit CReadAhead(std::FILE* stream) : stream(stream)
    {
        for (CChunk& chunk : chunks)
            chunk.bytes.resize(READS_PER_CHUNK * BUFFER_SIZE);
        reader = std::thread([this]() { Read(); });
    }
    ~CReadAhead()
    {
        {
            const std::lock_guard<std::mutex> lock(mutex);
            stopping = true;
        }
        changed.notify_all();
        reader.join();
    }

    // Lets go of the chunk handed out before and waits for the next: its
    // bytes and READ_BYTE, or READ_END or READ_FAILED once there are none.
    int Next(const unsigned char*& data, std::size_t& fill)
    {
        if (lastStatus != CProgramFile::READ_BYTE)
            return lastStatus;
        std::unique_lock<std::mutex> lock(mutex);
        released = taken;
        changed.notify_all();
        changed.wait(lock, [this]() { return filled > taken; });
        const CChunk& chunk = chunks[taken % CHUNKS];
        ++taken;
        lastStatus = chunk.status;
        data = chunk.bytes.data();
        fill = chunk.fill;
        if (fill == 0)
            return lastStatus;
        return CProgramFile::READ_BYTE;
    }

private:
    static constexpr std::size_t CHUNKS = 4;
    static constexpr std::size_t READS_PER_CHUNK = 4;

    struct CChunk {
        std::vector<unsigned char> bytes;
        std::size_t fill = 0;
        // READ_BYTE while more may follow; else how the file ended after
        // this chunk's bytes.
        int status = CProgramFile::READ_BYTE;
    };

    void Read()
    {
        for (;;) {
            std::size_t index = 0;
            {
                std::unique_lock<std::mutex> lock(mutex);
                // Never the chunk being handed out, taken - 1.
                changed.wait(lock, [this]() { return stopping || filled < released + CHUNKS; });
                if (stopping)
                    return;
                index = filled % CHUNKS;
            }
            CChunk& chunk = chunks[index];
            chunk.fill = 0;
            chunk.status = CProgramFile::READ_BYTE;
            while (chunk.fill < chunk.bytes.size()) {
                const std::size_t count = std::fread(chunk.bytes.data() + chunk.fill, 1, BUFFER_SIZE, stream);
                chunk.fill += count;
                if (count == 0) {
                    chunk.status = std::ferror(stream) ? CProgramFile::READ_FAILED : CProgramFile::READ_END;
                    break;
                }
            }
            {
                const std::lock_guard<std::mutex> lock(mutex);
                ++filled;
            }
            changed.notify_all();
            if (chunk.status != CProgramFile::READ_BYTE)
                return;
        }
    }

    std::FILE* const stream;
    std::array<CChunk, CHUNKS> chunks;
    std::mutex mutex;
    std::condition_variable changed;
    // Chunks filled, handed out and let go of since the start; the chunk at
    // index i lives in chunks[i % CHUNKS].
    std::size_t filled = 0;
    std::size_t taken = 0;
    std::size_t released = 0;
    bool stopping = false;
    // The handing-out side's own: the last chunk's status.
    int lastStatus = CProgramFile::READ_BYTE;
    std::thread reader;
};

CProgramFile::CProgramFile() = default;

CProgramFile::~CProgramFile() { Close(); }

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
    readsAhead = fileSize > BUFFER_SIZE;
    buffer.resize(BUFFER_SIZE);
    bufferFill = 0;
    bufferNext = 0;
    return OPEN_OK;
}

void CProgramFile::Close()
{
    readAhead.reset();
    bytes = nullptr;
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
    bufferFill = 0;
    if (readsAhead && readAhead == nullptr) {
        // Without the memory or a thread for it the file is read here.
        try {
            readAhead = std::make_unique<CReadAhead>(stream);
        } catch (const std::bad_alloc&) {
            readsAhead = false;
        } catch (const std::system_error&) {
            readsAhead = false;
        }
    }
    if (readAhead != nullptr)
        return readAhead->Next(bytes, bufferFill);
    bytes = buffer.data();
    bufferFill = std::fread(buffer.data(), 1, buffer.size(), stream);
    if (bufferFill > 0)
        return READ_BYTE;
    return std::ferror(stream) ? READ_FAILED : READ_END;
}

bool CProgramFile::SeekToStart()
{
    readAhead.reset();
    bytes = nullptr;
    bufferFill = 0;
    bufferNext = 0;
    if (stream == nullptr)
        return false;
    std::clearerr(stream);
    return std::fseek(stream, 0, SEEK_SET) == 0;
}
