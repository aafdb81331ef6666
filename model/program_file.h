// A program file opened for reading, handed out one byte at a time from a
// buffer of 64 KiB. A file larger than that is read ahead on a second thread,
// so that the system's copying of the bytes does not hold up their reader.
// Only regular files open: a directory, a FIFO or a device would block or
// fail in the middle of a load.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

class CProgramFile {
public:
    static constexpr int READ_BYTE = 1;
    static constexpr int READ_END = -3;
    static constexpr int READ_FAILED = -6;
    // Bytes read from the system at once.
    static constexpr std::size_t READ_SIZE = 64 * 1024;

    enum OpenResult { OPEN_OK, OPEN_FAILED, OPEN_TOO_LARGE };
    // Spans and counters are signed 32-bit: a listing of a larger file could
    // not be addressed.
    static constexpr std::uint64_t MAX_FILE_SIZE = std::uint64_t(1) << 30;

    CProgramFile();
    CProgramFile(const CProgramFile&) = delete;
    CProgramFile& operator=(const CProgramFile&) = delete;
    ~CProgramFile();

    OpenResult Open(const std::string& path);
    // Safe when the file is not open.
    void Close();
    bool IsOpen() const { return stream != nullptr; }
    // The size the file had when it was opened.
    std::uint64_t GetSize() const { return size; }

    // READ_BYTE with byte set, READ_END at the end of the file, READ_FAILED
    // when the system could not read it (byte unchanged in both cases).
    int ReadByte(unsigned char& byte)
    {
        if (bufferNext == bufferFill) {
            const int result = Refill();
            if (result != READ_BYTE)
                return result;
        }
        byte = bytes[bufferNext++];
        return READ_BYTE;
    }
    bool SeekToStart();

    // The bytes buffered but not yet read, for a reader that takes a run of
    // them at once; Skip then consumes count of them.
    const unsigned char* GetBufferedBytes(std::size_t& count) const
    {
        count = bufferFill - bufferNext;
        return bytes + bufferNext;
    }
    void Skip(std::size_t count) { bufferNext += count; }

private:
    class CReadAhead;

    int Refill();

    std::FILE* stream = nullptr;
    std::uint64_t size = 0;
    std::vector<unsigned char> buffer;
    // Runs while a large file is read, from the first Refill on.
    bool readsAhead = false;
    std::unique_ptr<CReadAhead> readAhead;
    // The bytes being handed out: the buffer's, or a chunk read ahead.
    const unsigned char* bytes = nullptr;
    std::size_t bufferFill = 0;
    std::size_t bufferNext = 0;
};
