#include "program_file.h"

#include <filesystem>
#include <new>
#include <system_error>
#include <thread>

#include "chunk_ring.h"
#include "platform.h"

// Fills chunks of a few reads each on its own thread, up to CHUNKS of them
// ahead of the one being handed out. The reads are the one-thread reader's,
// so that a failing read ends the bytes at the same place.
class CProgramFile::CReadAhead {
public:
    explicit CReadAhead(std::FILE* stream)
        : stream(stream), ring([](CChunk& chunk) { chunk.bytes.resize(READS_PER_CHUNK * READ_SIZE); })
    {
        reader = std::thread([this]() { Read(); });
    }
    ~CReadAhead()
    {
        ring.Stop();
        reader.join();
    }

    // Lets go of the chunk handed out before and waits for the next: its
    // bytes and READ_BYTE, or READ_END or READ_FAILED once there are none.
    int Next(const unsigned char*& data, std::size_t& fill)
    {
        if (lastStatus != CProgramFile::READ_BYTE)
            return lastStatus;
        const CChunk& chunk = ring.TakeNext();
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
        for (std::size_t index = 0;; ++index) {
            CChunk* const chunk = ring.StartFilling(index);
            if (chunk == nullptr)
                return;
            chunk->fill = 0;
            chunk->status = CProgramFile::READ_BYTE;
            while (chunk->fill < chunk->bytes.size()) {
                const std::size_t count = std::fread(chunk->bytes.data() + chunk->fill, 1, READ_SIZE, stream);
                chunk->fill += count;
                if (count == 0) {
                    chunk->status = std::ferror(stream) ? CProgramFile::READ_FAILED : CProgramFile::READ_END;
                    break;
                }
            }
            const bool ended = chunk->status != CProgramFile::READ_BYTE;
            ring.FinishFilling(index);
            if (ended)
                return;
        }
    }

    std::FILE* const stream;
    CChunkRing<CChunk, CHUNKS> ring;
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
    readsAhead = fileSize > READ_SIZE;
    buffer.resize(READ_SIZE);
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
