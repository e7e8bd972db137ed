// The real save in a process of its own, run under strace or beside another: saves the text
// (second argument) to the file (first); ends with 0 when saved, 3 when refused for a reason it
// names (a failed system call by its errno).
#include <unistd.h>

#include "storage/start_balance_file.h"

int main(int, char** argv) {
    alarm(10);  // a save that hangs ends here, and says so by the signal
    [[maybe_unused]] ssize_t mark = write(-1, "save", 4);  // in strace's log, the save lies between
    const auto saved = storage::SaveStartBalance(QString::fromLocal8Bit(argv[2]), argv[1]);
    mark = write(-1, "done", 4);
    using Kind = storage::Failure::Kind;
    return saved ? 0 : saved.failure().kind != Kind::System || saved.failure().code != 0 ? 3 : 2;
}
