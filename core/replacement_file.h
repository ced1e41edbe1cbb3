#pragma once

// Writing a file that replaces its target all or nothing.
//
// The contents go to a temporary file in the target's folder, which is renamed over the
// target only by commit(), once it is completely written and flushed. Until then the
// target is untouched, and a ReplacementFile that is destroyed without a successful
// commit() removes its temporary file. Writers that open files by name (a spreadsheet
// library) write to temporaryPath() and leave fd() alone.

#include <string>
#include <string_view>

namespace core {

class ReplacementFile {
  public:
    ReplacementFile() = default;
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;
    ReplacementFile(ReplacementFile&& other) noexcept;
    ReplacementFile& operator=(ReplacementFile&& other) noexcept;
    ~ReplacementFile();

    // Checks the target and creates the temporary file. `what` starts the messages
    // ("Cannot write the report"). Returns false, with a message naming the path and the
    // system's reason in *error, when the target cannot be replaced.
    [[nodiscard]] bool open(const std::string& target, std::string_view what, std::string* error);

    // Appends bytes to the temporary file; false with a message on failure.
    [[nodiscard]] bool write(std::string_view bytes, std::string* error);

    // Gives the temporary file its final permissions, flushes it and renames it over the
    // target. False with a message on failure; the temporary file is removed then.
    [[nodiscard]] bool commit(std::string* error);

    // Removes the temporary file now (also done by the destructor).
    void discard();

    bool isOpen() const { return m_fd >= 0; }
    int fd() const { return m_fd; }
    const std::string& temporaryPath() const { return m_temporary; }
    const std::string& targetPath() const { return m_target; }

  private:
    bool fail(int code, std::string* error);

    std::string m_target;
    std::string m_temporary;
    std::string m_what;
    int m_fd = -1;
    bool m_targetExists = false;
    unsigned m_targetMode = 0;
};

// The system's text for an errno value.
std::string SystemReason(int code);

}  // namespace core
