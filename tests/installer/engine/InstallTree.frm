object frmInstallTree: TfrmInstallTree
  Caption = 'Setup'
  object Install1: TInstall
    DestDir = '\MyApplication'
    DestDirType = psProgramFiles
    AutoMaximizeWindow = False
    RunAutomatic = False
    Information.ProductName = 'Tree Test'
  end
  object Group1: TRecordingGroup
    Container = Install1
    Description = 'Documentation'
    DestDirType = psContainerDestDir
    DestDir = '\Docs'
  end
  object Dir1: TRecordingDirectory
    Container = Group1
    Description = 'Manuals'
    DestDirType = psContainerDestDir
    DestDir = '\Manuals\'
  end
  object FileA: TTestFile
    Container = Dir1
    DestDirType = psContainerDestDir
  end
  object FileB: TTestFile
    Container = Dir1
  end
  object FileC: TTestFile
    Container = Dir1
  end
  object Link1: TTestLink
    Container = Install1
  end
  object Registry1: TTestRegistry
    Container = Install1
  end
  object DriverDialog: TTestDialog
    Container = Install1
  end
  object GroupDialog: TTestDialog
    Container = Group1
  end
end
