/* Starts one program inside a job and waits for it and for everything it started.
   Usage: launch EXITFILE COMMANDLINE
   Writes the program's exit code to EXITFILE once the last process of the job has ended
   (or after 60 seconds, when "timeout" is written instead). The launcher does not wait for
   the engine it starts; the job lets the test know when the engine is done too. */
#include <windows.h>
#include <stdio.h>

int main(int argc, char** argv) {
  STARTUPINFOA si;
  PROCESS_INFORMATION pi;
  JOBOBJECT_BASIC_ACCOUNTING_INFORMATION account;
  HANDLE job;
  DWORD code = 0;
  FILE* out;
  int waited;
  if (argc != 3) {
    fprintf(stderr, "usage: launch EXITFILE COMMANDLINE\n");
    return 2;
  }
  job = CreateJobObjectA(NULL, NULL);
  ZeroMemory(&si, sizeof si);
  si.cb = sizeof si;
  if (job == NULL ||
      !CreateProcessA(NULL, argv[2], NULL, NULL, FALSE, CREATE_SUSPENDED, NULL, NULL, &si, &pi)) {
    fprintf(stderr, "launch: cannot start %s: error %lu\n", argv[2], GetLastError());
    return 3;
  }
  AssignProcessToJobObject(job, pi.hProcess);
  ResumeThread(pi.hThread);
  WaitForSingleObject(pi.hProcess, 60000);
  GetExitCodeProcess(pi.hProcess, &code);
  for (waited = 0; waited < 60000; waited += 50) {
    if (!QueryInformationJobObject(job, JobObjectBasicAccountingInformation, &account,
                                   sizeof account, NULL) ||
        account.ActiveProcesses == 0)
      break;
    Sleep(50);
  }
  out = fopen(argv[1], "wb");
  if (out == NULL) return 4;
  if (code == STILL_ACTIVE) fputs("timeout\n", out);
  else fprintf(out, "%lu\n", code);
  fclose(out);
  return 0;
}
