object frmWizardSetup: TfrmWizardSetup
  Caption = 'Setup'
  object Install1: TInstall
    DestDir = '\MyApplication'
    DestDirType = psProgramFiles
    AutoMaximizeWindow = False
    RunAutomatic = False
    Information.ProductName = 'Wizard Test'
  end
  object DialogManager1: TDialogManager
    Container = Install1
  end
  object GoodManager: TDialogManager
    Container = Install1
    ManagerType = dmAfterGoodInstall
  end
  object Page20: TTestPageDlg
    Container = Install1
    DialogManager = DialogManager1
    Order = 20
  end
  object Page30: TTestPageDlg
    Container = Install1
    DialogManager = DialogManager1
    Order = 30
  end
  object Page10: TTestPageDlg
    Container = Install1
    DialogManager = DialogManager1
    Order = 10
  end
  object Page60: TTestPageDlg
    Container = Install1
    DialogManager = DialogManager1
    Order = 60
  end
  object Page45: TTestPageDlg
    Container = Install1
    DialogManager = DialogManager1
    Order = 45
  end
end
