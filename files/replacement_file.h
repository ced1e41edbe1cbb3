#pragma once

// Writing a file that replaces its target all or nothing.
//
// The contents go to a temporary file in the target's folder, which is renamed over the
// target only by commit(), once it is completely written and flushed. Until then the
// target is untouched, and a ReplacementFile that is destroyed without a successful
// commit() removes its temporary file. Writers that open files by name (a spreadsheet
// library) write to temporaryPath() and leave fd() alone.
//
// What may be replaced: only a plain file, or nothing yet. A symbolic link to a plain file
// is written through: the file it finally points at is replaced and the link stays. A
// folder, device, FIFO, socket, a link to one of those or a link to nothing is refused, as
// is a file whose permission bits allow no writing (its owner protected it; checked on the
// bits, since root passes every permission check). The new file has the old one's
// permission bits without setuid, setgid and sticky (or 0666 less the umask), and, when
// root replaces another user's file, the old owner and group.
//
// A file with several hard links: only the name written to gets the new contents; the
// other names keep the old file. Writing into the shared file in place would lose the all
// or nothing guarantee, and a planted hard link could make the program overwrite a file it
// was never asked to touch.

#include <string>
#include <string_view>

namespace files {

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
    // reason in `error`, when the target cannot be replaced; nothing is created then.
    [[nodiscard]] bool open(const std::string& target, std::string_view what, std::string& error);

    // Whether `target` may be replaced, with open()'s refusals and messages, creating
    // nothing: so that a page asks "overwrite?" only about a file it can replace.
    [[nodiscard]] static bool CheckTarget(const std::string& target, std::string_view what,
                                          std::string& error);

    // Appends bytes to the temporary file; false with a message on failure.
    [[nodiscard]] bool write(std::string_view bytes, std::string& error);

    // Gives the temporary file its final owner and permissions, flushes it and renames it
    // over the target (checked again first). False with a message on failure; the
    // temporary file is removed then.
    [[nodiscard]] bool commit(std::string& error);

    // Removes the temporary file now (also done by the destructor).
    void discard();

    bool isOpen() const { return m_fd >= 0; }
    int fd() const { return m_fd; }
    const std::string& temporaryPath() const { return m_temporary; }
    // The path as given to open().
    const std::string& targetPath() const { return m_target; }
    // The file that commit() replaces: the target, or the file a link to it points at.
    const std::string& replacedPath() const { return m_final; }

  private:
    bool fail(int code, std::string& error);
    bool refuse(const std::string& reason, std::string& error);
    bool checkTarget(std::string& error);

    std::string m_target;
    std::string m_final;
    std::string m_temporary;
    std::string m_what;
    int m_fd = -1;
    int m_slot = -1;  // in the table of temporary files that signals remove
    bool m_targetExists = false;
    unsigned m_targetMode = 0;
    unsigned m_targetOwner = 0;
    unsigned m_targetGroup = 0;
};

// The system's text for an errno value.
std::string SystemReason(int code);

// The process's file-creation mask, read once. Call it from main before any thread starts:
// reading the mask means setting it for a moment.
unsigned FileCreationMask();

// Makes SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGUSR1, SIGUSR2, SIGALRM, SIGXCPU and SIGXFSZ
// remove the temporary file of every ReplacementFile open at that moment, on any thread,
// then end the program as the signal would; the files they were to replace stay as they
// were. A signal ignored when this is called (nohup's SIGHUP) stays ignored. Call once from
// main, in both programs, before any thread starts.
void InstallTemporaryFileCleanup();

}  // namespace files
