#pragma once
// The layer's own interpreter of ".bat" files, for the commands installers write into them:
//
//   ERASE path / DEL path [/F] [/Q]     deletes a file (read-only ones only with /F)
//   MOVE [/Y] source destination         moves a file or folder, into a destination folder or over a file
//   DELTREE [/Y] path                    deletes a folder with everything in it, or a file; without /Y it
//                                        asks on standard input first
//   RD path / RMDIR path                 removes an empty folder; a folder that is not empty, or missing,
//                                        fails quietly (error level 1); /S is refused
//   REM, ECHO, :label, blank lines and a leading "@" are taken as the command interpreter takes them.
//
// CreateProcess starts a ".bat" or ".cmd" file with this interpreter (a program of the layer); nothing is
// ever handed to a host shell. Lines are read as the command interpreter reads them: "%%" is "%", %0 to
// %9 are the batch file and its arguments, any other "%" stays as it is. Arguments are separated by blanks,
// tabs, "," ";" and "=", and double quotes group them.
//
// A deleting command takes one path: a path with blanks that was written without quotes is taken whole
// (all the words from the first to the last) and never as several paths, so a careless line deletes that
// path or nothing, never something beside it. Several paths are taken only when each is quoted. MOVE
// splits such words only where exactly one split gives an existing source and an absolute destination,
// and refuses the line otherwise. A drive's root is never deleted or removed. Other commands are reported and
// skipped. Each command's result is its error level (0 or 1); the batch file's exit code is the last one.

#include <iosfwd>
#include <string>
#include <vector>

namespace win {

struct TBatchToken {
    std::string Text;     // quotes removed
    bool Quoted = false;  // it held a double quote
    size_t Start = 0;     // where it starts and ends in the argument text
    size_t End = 0;
};

// The arguments of a command line (what follows the command's name).
std::vector<TBatchToken> SplitBatchArguments(const std::string& text);

// Runs the commands of `content`; %0 is `batchPath`, %1 ... the arguments. Messages go to `messages`.
int RunBatchCommands(const std::string& content, const std::string& batchPath,
                     const std::vector<std::string>& arguments, std::ostream& messages);
// Reads the batch file (a Windows path) and runs it; 1 when it cannot be read.
int RunBatchFile(const std::string& batchPath, const std::vector<std::string>& arguments, std::ostream& messages);

// Host path of the interpreter program that CreateProcess starts for batch files.
std::string BatchInterpreterPath();

}  // namespace win
