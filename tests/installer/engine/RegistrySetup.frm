object frmRegistrySetup: TfrmRegistrySetup
  Caption = 'Setup'
  object Install1: TInstall
    DestDir = '\Halvern Scrivane'
    DestDirType = psProgramFiles
    Information.CompanyName = 'Halvern'
    Information.ProductName = 'Scrivane'
    Information.Version = '1.0'
  end
  object Group1: TInstallGroup
    Container = Install1
  end
  object FileType: TInstallRegistry
    Container = Group1
    Entries = <
      item
        Ident = ''
        Text = 'Scrivane.Project'
      end>
    Key = '\.wkp\'
    RootKey = hkClassesRoot
  end
  object OpenCommand: TInstallRegistry
    Container = Group1
    Entries = <
      item
        Ident = ''
        PathSpecifier = psMainInstall
        Text = '"%p\Scrivane.exe" "%%1"'
      end
      item
        EntryType = retInteger
        Ident = 'Stored'
        Integer = 7
        Text = 'kept'
      end>
    Key = '\Scrivane.Project\shell\open\command'
    RootKey = hkClassesRoot
  end
  object Settings: TInstallRegistry
    Container = Install1
    Entries = <
      item
        Ident = 'Path'
        PathSpecifier = psMainInstall
        Text = '%p'
      end>
    Key = '\Ignored'
    KeySpecifierType = ksVersion
  end
end
