object frmLinkSetup: TfrmLinkSetup
  Caption = 'Setup'
  object Install1: TInstall
    DestDir = '\MyApplication'
    DestDirType = psProgramFiles
    Information.ProductName = 'Halvern Test'
  end
  object Docs: TInstallDirectory
    ArchiveFileType = psContainerArchiveFile
    Container = Install1
    Description = 'Documentation'
    DestDirType = psContainerDestDir
    DestDir = '\Docs'
  end
  object IFapp_exe: TInstallFile
    ArchiveFileType = psContainerArchiveFile
    Container = Docs
    DestDirType = psContainerDestDir
    DestName = 'app.exe'
    FileName = 'app.exe'
    IncludeFromDir = 'C:\src'
    UniqueID = 7
  end
  object MainFolder: TMainLinkGroup
    Container = Install1
    DestDir = '\Halvern Test'
  end
  object SubLinkGroup: TSubLinkGroup
    Container = MainFolder
    DestDir = '\Tools'
  end
  object psObjectLink: TpsObjectLink
  end
  object AppLink: TInstallSubLink
    Container = SubLinkGroup
    HotKey = 1608
    LinkName = 'app.lnk'
    ObjectLink = IFapp_exe
    ObjectLocationType = psObjectLink
    Parameters = '-open "%c\notes.txt" -home "%i"'
  end
  object DocsLink: TInstallSubLink
    Container = SubLinkGroup
    LinkName = 'Documentation.lnk'
    ObjectLink = Docs
    ObjectLocationType = psObjectLink
  end
  object Web: TInstallSubLink
    Container = SubLinkGroup
    LinkName = 'www.example.com_help_index.html.URL'
    ObjectLocation = 'http://www.example.com/help/index.html'
  end
end
