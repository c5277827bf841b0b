#pragma once

#include <cstddef>
#include <cstdlib>
#include <memory>
#include <string_view>

namespace velto {

/// The text of a page file as a save makes it, grown by appending. A page file of megabytes is written past the
/// page cache, which takes only memory that starts a disk block: a big text made here starts one and is written
/// where it lies, where a text in a std::string (which starts anywhere) was first copied piece by piece into a
/// buffer that does.
class FileTextBuffer {
public:
    /// Where a big text's memory starts: a multiple of every logical block size a desktop's disks have.
    static constexpr std::size_t alignment = 4096;
    /// Texts with room for at least this many bytes start a block; smaller ones take no more memory than they
    /// need, as a library of thousands of small pages holds a text of each.
    static constexpr std::size_t alignedMinimum = 256 * 1024;

    FileTextBuffer() = default;
    /// An empty text with room for `capacity` bytes.
    explicit FileTextBuffer(std::size_t capacity);
    FileTextBuffer(FileTextBuffer &&other) noexcept;
    FileTextBuffer &operator=(FileTextBuffer &&other) noexcept;
    FileTextBuffer(const FileTextBuffer &) = delete;
    FileTextBuffer &operator=(const FileTextBuffer &) = delete;
    ~FileTextBuffer() = default;

    std::string_view view() const { return {bytes_.get(), size_}; }
    operator std::string_view() const { return view(); } // NOLINT(google-explicit-constructor): read as text
    const char *data() const { return bytes_.get(); }
    std::size_t size() const { return size_; }
    std::size_t capacity() const { return capacity_; }
    bool empty() const { return size_ == 0; }

    /// Appends the bytes, moving the text into a larger block first when it has no room for them.
    void append(std::string_view bytes);
    /// Empties the text and keeps its room.
    void clear() { size_ = 0; }

private:
    struct Freeing {
        void operator()(char *bytes) const { std::free(bytes); }
    };

    std::unique_ptr<char, Freeing> bytes_;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

} // namespace velto
