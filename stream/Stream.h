// The byte-stream interfaces that every read and write of the program goes through. Small
// interfaces are combined by virtual inheritance, so a concrete stream offers each operation once.
#pragma once

#include <cstdint>

namespace stream {

// As a size: unknown. As a count: everything up to the end of the data.
constexpr std::uint64_t ALL = ~std::uint64_t(0);

class OutputStream;
class InputStream;

// Reading. The end of data is no error here: get() gives -1, read() and skip() a short count.
class Input {
  public:
    virtual ~Input() = default;
    virtual std::uint32_t read(void* buffer, std::uint32_t length);
    virtual int get() = 0;
    virtual std::uint64_t skip(std::uint64_t count);
};

class Positioned {
  public:
    virtual ~Positioned() = default;
    virtual std::uint64_t tell() = 0;
    virtual std::uint64_t size() { return ALL; }
    virtual void close() {}
};

class CopySource : public virtual Input, public virtual Positioned {
  public:
    virtual std::uint64_t copy(OutputStream& output, std::uint64_t count);
};

// Writing.
class Sink {
  public:
    virtual ~Sink() = default;
    virtual void write(const void* buffer, std::uint32_t length);
    virtual void put(std::uint8_t byte) = 0;
    virtual void fill(std::uint64_t count, std::uint8_t byte);
};

class Output : public virtual Sink {
  public:
    virtual std::uint64_t tell() = 0;
    virtual std::uint64_t size() { return tell(); }
    virtual void resize(std::uint64_t newSize);
    virtual void flush() {}
    virtual void close() {}
};

class CopyTarget : public virtual Sink, public virtual Output {
  public:
    virtual std::uint64_t copyFrom(InputStream& input, std::uint64_t count);
};

// What a concrete input or output stream implements, and what filters hold.
class InputStream : public virtual Input, public virtual CopySource, public virtual Positioned {};
class OutputStream : public virtual Sink, public virtual CopyTarget, public virtual Output {};

// An input that can also be positioned at an absolute offset (files, memory).
class RandomInput : public InputStream {
  public:
    virtual void seek(std::uint64_t position) = 0;
    // Whether readAt works: a stream that reads at a given place without moving, safely from
    // several threads at once (a file). The others answer false and readAt reads nothing.
    virtual bool readsAt() { return false; }
    virtual std::uint32_t readAt(std::uint64_t, void*, std::uint32_t) { return 0; }
};

}  // namespace stream
