#include "model/FileTextBuffer.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

namespace velto {
namespace {

/// Memory for `capacity` bytes, starting a block for a big text; std::aligned_alloc takes whole blocks only.
char *memoryFor(std::size_t capacity) {
    void *memory = nullptr;
    if (capacity >= FileTextBuffer::alignedMinimum) {
        const std::size_t blocks = (capacity + FileTextBuffer::alignment - 1) / FileTextBuffer::alignment;
        memory = std::aligned_alloc(FileTextBuffer::alignment, blocks * FileTextBuffer::alignment);
    } else {
        memory = std::malloc(std::max<std::size_t>(capacity, 1));
    }
    if (memory == nullptr) {
        throw std::bad_alloc();
    }
    return static_cast<char *>(memory);
}

} // namespace

FileTextBuffer::FileTextBuffer(std::size_t capacity)
    : bytes_(memoryFor(capacity))
    , capacity_(capacity) {}

FileTextBuffer::FileTextBuffer(FileTextBuffer &&other) noexcept
    : bytes_(std::move(other.bytes_))
    , size_(std::exchange(other.size_, 0))
    , capacity_(std::exchange(other.capacity_, 0)) {}

FileTextBuffer &FileTextBuffer::operator=(FileTextBuffer &&other) noexcept {
    bytes_ = std::move(other.bytes_);
    size_ = std::exchange(other.size_, 0);
    capacity_ = std::exchange(other.capacity_, 0);
    return *this;
}

void FileTextBuffer::append(std::string_view bytes) {
    if (bytes.size() > capacity_ - size_) {
        // Twice the room, as a std::string grows: a text appended to a piece at a time is moved a few times only.
        FileTextBuffer larger(std::max(size_ + bytes.size(), 2 * capacity_));
        if (size_ > 0) {
            std::memcpy(larger.bytes_.get(), bytes_.get(), size_);
        }
        larger.size_ = size_;
        *this = std::move(larger);
    }
    if (!bytes.empty()) {
        std::memcpy(bytes_.get() + size_, bytes.data(), bytes.size());
    }
    size_ += bytes.size();
}

} // namespace velto
