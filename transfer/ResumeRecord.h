#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace quorvel {

// What a kept partial download needs to be resumed safely, stored beside its
// temporary file (".NAME.HASH.resume"): the URL, the server's validator (its
// ETag, else its Last-Modified, as sent), the whole length, how many bytes
// are known to be on the disk, and the boot the bytes were written in.
//
// The record is written to a new file, flushed and renamed into place, and
// ends with a hash of its lines, so a record torn by a crash is never taken.
class ResumeRecord {
public:
    std::string url;
    std::string validator;
    std::uint64_t total = 0;
    // Bytes flushed (fdatasync) before the record was written.
    std::uint64_t flushed = 0;
    // The boot the bytes were written in (see BootId).
    std::string boot;

    bool operator==(const ResumeRecord&) const = default;

    // The record in the folder (a descriptor of it) under name; nothing when
    // missing, torn or malformed.
    static std::optional<ResumeRecord> Read(int dirFd, const std::string& name);
    // The record's text, and the record a text holds (nothing when torn or
    // malformed). Text is empty when a field is not a single printable line.
    std::string Text() const;
    static std::optional<ResumeRecord> Parse(const std::string& text);
    // Writes name.new, flushes it and renames it to name. False on failure.
    bool Write(int dirFd, const std::string& name) const;

    // How many bytes of a kept file of fileSize bytes can be trusted: all of
    // them (up to total) while the machine has not restarted since they were
    // written (the system keeps every written byte until then, whatever
    // happened to the process), else only those flushed before the record.
    std::uint64_t TrustedLength(std::uint64_t fileSize) const;

    // This boot's identity (the kernel's boot id); empty when unknown.
    static const std::string& BootId();
};

} // namespace quorvel
