#pragma once

#include <QString>

#include <cstdint>

namespace velmor::hid {

// The 32-bit result code of a HID call; 0 is success. Codes keep the values
// the rest of the system logs ("0x%08X"), whatever backend produced them.
class Result {
public:
    constexpr Result() = default;
    constexpr explicit Result(std::uint32_t code) : code_(code) {}

    static constexpr Result success() { return Result(0); }
    static constexpr Result error() { return Result(0xE00002BC); }
    static constexpr Result noMemory() { return Result(0xE00002BD); }
    static constexpr Result noDevice() { return Result(0xE00002C0); }
    static constexpr Result notPrivileged() { return Result(0xE00002C1); }
    static constexpr Result badArgument() { return Result(0xE00002C2); }
    static constexpr Result exclusiveAccess() { return Result(0xE00002C5); }
    static constexpr Result unsupported() { return Result(0xE00002C7); }
    static constexpr Result notOpen() { return Result(0xE00002CD); }
    static constexpr Result busy() { return Result(0xE00002D5); }
    static constexpr Result timeout() { return Result(0xE00002D6); }
    static constexpr Result notPermitted() { return Result(0xE00002E2); }

    // The code for a failed system call's errno (0 gives success).
    static Result fromErrno(int error);

    constexpr std::uint32_t code() const { return code_; }
    constexpr bool isSuccess() const { return code_ == 0; }
    // Eight upper-case hexadecimal digits, without "0x".
    QString hex() const;

    constexpr bool operator==(const Result&) const = default;

private:
    std::uint32_t code_ = 0;
};

} // namespace velmor::hid
