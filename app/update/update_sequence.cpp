// The update sequence and its completion, on the GUI thread.
#include "extractor_binding.h"
#include "installer.h"
#include "program_paths.h"
#include "update_codes.h"
#include "update_dlg.h"

int CUpdateDlg::RunUpdateSequence() {
  char packPath[kup::kPathBufferSize];
  if (!kup::FindPackageFile(packPath)) {
    ShowMessage(4);
    return UPDATE_NO_PACKAGE;
  }
  char folder[kup::kPathBufferSize];
  if (!kup::FindProgramFolder(folder)) {
    ShowMessage(5);
    return UPDATE_NO_FOLDER;
  }
  // Whatever a failed extraction wrote stays on disk.
  if (!kup::UnpackPackage(packPath, folder)) {
    ShowMessage(6);
    return UPDATE_UNPACK_FAILED;
  }
  if (!kup::StartInstallerThread()) {
    kup::DeleteInstallerPackage();
    ShowMessage(9);
    return UPDATE_THREAD_FAILED;
  }
  return UPDATE_OK;
}

LRESULT CUpdateDlg::OnInstallerDone(WPARAM code, LPARAM) {
  kup::DeleteInstallerPackage();
  if (code != INSTALLER_FINISHED) ShowMessage(9);
  EndModalLoop(0);
  return 0;
}
