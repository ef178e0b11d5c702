object frmStoredTree: TfrmStoredTree
  Caption = 'Setup'
  object Install1: TInstall
    DestDir = '\MyApplication'
    DestDirType = psProgramFiles
    AutoMaximizeWindow = False
    RunAutomatic = False
  end
  object Group1: TInstallGroup
    Container = Install1
    Description = 'Stored'
    DestDirType = psContainerDestDir
    DestDir = '\Stored'
  end
  object psFileContainer: TpsFileContainer
    FileContainer = Group1
  end
  object Group2: TInstallGroup
    Container = Install1
    Description = 'Second'
  end
end
