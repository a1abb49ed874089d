/* The fake java's server as a Windows program, for the Wine cases (a Unix program started
 * from Windows cannot be waited for there). Whatever its arguments, it prints console lines
 * ending in the ready line, exits on the console command "stop" and otherwise keeps running,
 * also when its console input ends, for at most a minute.
 * While it runs it rewrites the file named by FAKE_JAVA_BEAT every 100 ms with
 * "<ticks> console=<0|1> hidden=<0|1>": whether it has a console, that is whether a console
 * window can exist for it, and whether its starter asked for its windows to be hidden. */
#include <windows.h>
#include <stdio.h>
#include <string.h>

static wchar_t g_beat[MAX_PATH];

static void Say(const char *text) {
  char line[256];
  DWORD written;
  int n = snprintf(line, sizeof line, "[12:00:00] [Server thread/INFO]: %s\r\n", text);
  // once the launcher is gone the pipe is broken; the server runs on regardless
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line, (DWORD)n, &written, NULL);
}

static void WriteBeat() {
  STARTUPINFOW start;
  GetStartupInfoW(&start);
  bool hidden = (start.dwFlags & STARTF_USESHOWWINDOW) && start.wShowWindow == SW_HIDE;
  char text[64];
  int n = snprintf(text, sizeof text, "%llu console=%d hidden=%d", (unsigned long long)GetTickCount64(),
                   GetConsoleWindow() != NULL, hidden);
  HANDLE file = CreateFileW(g_beat, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, NULL, CREATE_ALWAYS, 0, NULL);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written;
  WriteFile(file, text, (DWORD)n, &written, NULL);
  CloseHandle(file);
}

static DWORD WINAPI Beat(void *) {
  for (int i = 0; i < 600; i++) {
    Sleep(100);
    WriteBeat();
  }
  ExitProcess(0);
}

int main() {
  if (!GetEnvironmentVariableW(L"FAKE_JAVA_BEAT", g_beat, MAX_PATH)) return 2;
  WriteBeat();
  CreateThread(NULL, 0, Beat, NULL, 0, NULL);
  Say("Starting minecraft server version 26.3");
  Say("Preparing level \"brimlox\"");
  Say("Done (0,100s)! For help, type \"help\"");
  char line[512];
  size_t used = 0;
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(GetStdHandle(STD_INPUT_HANDLE), line + used, 1, &got, NULL) || got == 0) break;
    if (line[used] == '\n' || used + 1 == sizeof line) {
      line[used] = 0;
      if (used && line[used - 1] == '\r') line[used - 1] = 0;
      if (strcmp(line, "stop") == 0) {
        Say("Stopping the server");
        return 0;
      }
      used = 0;
    } else {
      used++;
    }
  }
  Sleep(INFINITE);
  return 0;
}
