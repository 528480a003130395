#include "support/terminal.h"

#if !defined(_WIN32)
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace testimg {

ProcessResult RunOnTerminal(const std::string& program, const std::vector<std::string>& args,
                            const std::string& dir, const std::string& locale) {
  ProcessResult result;
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return result;
  // Opened here, so that the terminal has its other side from the start.
  const int slave = open(ptsname(master), O_RDWR | O_NOCTTY);
  if (slave < 0) return result;
  std::vector<char*> argv = {const_cast<char*>(program.c_str())};
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);

  const pid_t pid = fork();
  if (pid == 0) {
    close(master);
    const int null = open("/dev/null", O_RDWR);
    if (null < 0 || dup2(null, 0) < 0 || dup2(null, 1) < 0 || dup2(slave, 2) < 0 ||
        chdir(dir.c_str()) != 0 || setenv("LC_ALL", locale.c_str(), 1) != 0) {
      _exit(126);
    }
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  // The few lines the programs print fit the terminal's buffer, so the
  // program ends without anyone reading; the terminal keeps them for after.
  int raw = 0;
  if (pid > 0 && waitpid(pid, &raw, 0) == pid && WIFEXITED(raw)) result.status = WEXITSTATUS(raw);
  close(slave);
  fcntl(master, F_SETFL, O_NONBLOCK);
  std::string shown;
  char chunk[1024];
  for (;;) {
    const ssize_t n = read(master, chunk, sizeof chunk);
    if (n > 0) {
      shown.append(chunk, static_cast<size_t>(n));
    } else if (!(n < 0 && errno == EINTR)) {
      break;  // EIO or EAGAIN: all read
    }
  }
  close(master);
  for (char ch : shown) {
    if (ch != '\r') result.err += ch;
  }
  return result;
}

}  // namespace testimg

#endif
