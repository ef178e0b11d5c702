object frmPagesSetup: TfrmPagesSetup
  Caption = 'Setup'
  object Install1: TInstall
    DestDir = '\Halvern\Scrivane'
    DestDirType = psProgramFiles
    AutoMaximizeWindow = False
    RunAutomatic = False
    Information.ProductName = 'Scrivane'
  end
  object MainFolder: TMainLinkGroup
    Container = Install1
    DestDir = '\Halvern\Scrivane'
  end
  object DialogManager: TDialogManager
    Container = Install1
  end
  object DialogManager1: TDialogManager
    Container = Install1
    ManagerType = dmAfterGoodInstall
  end
  object DialogManager2: TDialogManager
    Container = Install1
    ManagerType = dmAfterBadInstall
  end
  object LicenseDlg: TLicenseDlg
    Container = Install1
    DialogManager = DialogManager
    LicenseAgreement.Strings = (
      'Scrivane is free software.'
      'You may give it away, but not sell it.')
  end
  object ReadmeDlg: TReadmeDlg
    Container = Install1
    DialogManager = DialogManager
    ReadmeText.Strings = (
      'Scrivane 1.0.0.26')
  end
  object WelcomeDlg: TWelcomeDlg
    Container = Install1
    DialogManager = DialogManager
  end
  object SelectFolderDlg: TSelectFolderDlg
    Container = MainFolder
    DialogManager = DialogManager
  end
  object SelectDestinationDlg: TSelectDestinationDlg
    Container = Install1
    DialogManager = DialogManager
  end
  object BadInstallationDlg: TBadInstallationDlg
    Container = Install1
    DialogManager = DialogManager2
  end
  object GoodInstallationDlg: TGoodInstallationDlg
    Container = Install1
    DialogManager = DialogManager1
  end
end
