object frmCopySetup: TfrmCopySetup
  Caption = 'Setup'
  object Install1: TInstall
    DestDir = '\MyApplication'
    DestDirType = psProgramFiles
    AutoMaximizeWindow = False
    RunAutomatic = False
    Information.ProductName = 'Copy Test'
  end
  object CopyManager: TDialogManager
    Container = Install1
    ManagerType = dmDuringCopyFiles
  end
  object CopyFileDlg1: TCopyFileDlg
    Container = Install1
    DialogManager = CopyManager
  end
  object InstallStatusDlg1: TInstallStatusDlg
    Container = Install1
  end
end
