object Form1: TForm1
  Left = 192
  Top = 107
  Width = 696
  Height = 480
  Caption = 'Scrivane Install'
  Color = clBtnFace
  Font.Color = clWindowText
  Font.Height = -11
  Font.Name = 'MS Sans Serif'
  Font.Style = []
  object BackDrop: TBackdrop
    Left = 0
    Top = 0
    Width = 688
    Height = 453
    Tag = -1
    Align = alClient
    object ProductLabel: TRotate3DLabel
      Left = 0
      Top = 0
      Width = 688
      Height = 65
      Tag = -1
      Align = alTop
      LabelStyle.AShadeLTSet = False
      Caption = 'Scrivane 1.0.0.26'
      Font.Color = clWindowText
      Font.Height = -37
      Font.Name = 'Arial'
      Font.Style = [fsBold]
      ParentFont = False
    end
  end
  object psBDEDLL: TpsBDEDLL
  end
  object psCommonFiles: TpsCommonFiles
  end
  object psContainerArchiveFile: TpsContainerArchiveFile
  end
  object psContainerDestDir: TpsContainerDestDir
  end
  object psDesktopMenu: TpsDesktopMenu
  end
  object psInstallSource: TpsInstallSource
  end
  object psMainInstall: TpsMainInstall
  end
  object psProgramFiles: TpsProgramFiles
  end
  object psProgramMenu: TpsProgramMenu
  end
  object psStartMenu: TpsStartMenu
  end
  object psStartupMenu: TpsStartupMenu
  end
  object psSystem: TpsSystem
  end
  object psMainArchiveFile: TpsMainArchiveFile
  end
  object psWindow: TpsWindow
  end
  object psOfficeUserTemplates: TpsOfficeUserTemplates
  end
  object psOfficeWorkgroupTemplates: TpsOfficeWorkgroupTemplates
  end
  object psOfficeClipartDirectory: TpsOfficeClipartDirectory
  end
  object psOfficeStartupDirectory: TpsOfficeStartupDirectory
  end
  object psOfficeToolsDirectory: TpsOfficeToolsDirectory
  end
  object psOfficeFavoritesDirectory: TpsOfficeFavoritesDirectory
  end
  object psPrinters: TpsPrinters
  end
  object psRecent: TpsRecent
  end
  object psSendTo: TpsSendTo
  end
  object psStartup: TpsStartup
  end
  object psControlPanel: TpsControlPanel
  end
  object psFavorites: TpsFavorites
  end
  object psBitBucket: TpsBitBucket
  end
  object psCookies: TpsCookies
  end
  object psCommonAltStartup: TpsCommonAltStartup
  end
  object psCommonStartup: TpsCommonStartup
  end
  object psCommonDesktopDirectory: TpsCommonDesktopDirectory
  end
  object psCommonFavorites: TpsCommonFavorites
  end
  object psCommonPrograms: TpsCommonPrograms
  end
  object psCommonStartMenu: TpsCommonStartMenu
  end
  object psQuickLaunchMenu: TpsQuickLaunchMenu
  end
  object Install1: TInstall
    DestDir = '\Halvern\Scrivane'
    DestDirType = psProgramFiles
    Information.CompanyName = 'Halvern'
    Information.ProductName = 'Scrivane'
    Information.Version = '1.0.0.26'
    BuildInfo.OCXName = 'twsetup'
    BuildInfo.SignCode = False
    BuildInfo.BuildDirectory = 'C:\Scrivane\Setup'
    HideMainForm = False
    Reboot = False
    UseLoadingProgram = True
    NetLocation = NetLocation
    OnAfterNotifyGoodInstall = Install1AfterNotifyGoodInstall
    OnBeforeReboot = Install1BeforeReboot
  end
  object MainTranslator: TTranslator
    lgChineseSimplified.Font.Color = clWindowText
    lgChineseSimplified.Font.Height = -11
    lgChineseSimplified.Font.Name = 'MS Sans Serif'
    lgChineseSimplified.Font.Style = []
    lgChineseSimplified.FontOverride = False
    lgChineseTraditional.Font.Color = clWindowText
    lgChineseTraditional.Font.Height = -11
    lgChineseTraditional.Font.Name = 'MS Sans Serif'
    lgChineseTraditional.Font.Style = []
    lgChineseTraditional.FontOverride = False
    lgCzech.Font.Color = clWindowText
    lgCzech.Font.Height = -11
    lgCzech.Font.Name = 'MS Sans Serif'
    lgCzech.Font.Style = []
    lgCzech.FontOverride = False
    lgDanish.Font.Color = clWindowText
    lgDanish.Font.Height = -11
    lgDanish.Font.Name = 'MS Sans Serif'
    lgDanish.Font.Style = []
    lgDanish.FontOverride = False
    lgDutch.Font.Color = clWindowText
    lgDutch.Font.Height = -11
    lgDutch.Font.Name = 'MS Sans Serif'
    lgDutch.Font.Style = []
    lgDutch.FontOverride = False
    lgEnglish.Font.Color = clWindowText
    lgEnglish.Font.Height = -11
    lgEnglish.Font.Name = 'MS Sans Serif'
    lgEnglish.Font.Style = []
    lgEnglish.FontOverride = False
    lgFrench.Font.Color = clWindowText
    lgFrench.Font.Height = -11
    lgFrench.Font.Name = 'MS Sans Serif'
    lgFrench.Font.Style = []
    lgFrench.FontOverride = False
    lgGerman.Font.Color = clWindowText
    lgGerman.Font.Height = -11
    lgGerman.Font.Name = 'MS Sans Serif'
    lgGerman.Font.Style = []
    lgGerman.FontOverride = False
    lgGreek.Font.Color = clWindowText
    lgGreek.Font.Height = -11
    lgGreek.Font.Name = 'MS Sans Serif'
    lgGreek.Font.Style = []
    lgGreek.FontOverride = False
    lgHebrew.Font.Color = clWindowText
    lgHebrew.Font.Height = -11
    lgHebrew.Font.Name = 'MS Sans Serif'
    lgHebrew.Font.Style = []
    lgHebrew.FontOverride = False
    lgItalian.Font.Color = clWindowText
    lgItalian.Font.Height = -11
    lgItalian.Font.Name = 'MS Sans Serif'
    lgItalian.Font.Style = []
    lgItalian.FontOverride = False
    lgJapanese.Font.Color = clWindowText
    lgJapanese.Font.Height = -11
    lgJapanese.Font.Name = 'MS Sans Serif'
    lgJapanese.Font.Style = []
    lgJapanese.FontOverride = False
    lgKorean.Font.Color = clWindowText
    lgKorean.Font.Height = -11
    lgKorean.Font.Name = 'MS Sans Serif'
    lgKorean.Font.Style = []
    lgKorean.FontOverride = False
    lgNorwegianBokmal.Font.Color = clWindowText
    lgNorwegianBokmal.Font.Height = -11
    lgNorwegianBokmal.Font.Name = 'MS Sans Serif'
    lgNorwegianBokmal.Font.Style = []
    lgNorwegianBokmal.FontOverride = False
    lgNorwegianNynorsk.Font.Color = clWindowText
    lgNorwegianNynorsk.Font.Height = -11
    lgNorwegianNynorsk.Font.Name = 'MS Sans Serif'
    lgNorwegianNynorsk.Font.Style = []
    lgNorwegianNynorsk.FontOverride = False
    lgPolish.Font.Color = clWindowText
    lgPolish.Font.Height = -11
    lgPolish.Font.Name = 'MS Sans Serif'
    lgPolish.Font.Style = []
    lgPolish.FontOverride = False
    lgPortugese.Font.Color = clWindowText
    lgPortugese.Font.Height = -11
    lgPortugese.Font.Name = 'MS Sans Serif'
    lgPortugese.Font.Style = []
    lgPortugese.FontOverride = False
    lgRussian.Font.Color = clWindowText
    lgRussian.Font.Height = -11
    lgRussian.Font.Name = 'MS Sans Serif'
    lgRussian.Font.Style = []
    lgRussian.FontOverride = False
    lgSpanish.Font.Color = clWindowText
    lgSpanish.Font.Height = -11
    lgSpanish.Font.Name = 'MS Sans Serif'
    lgSpanish.Font.Style = []
    lgSpanish.FontOverride = False
    lgSwedish.Font.Color = clWindowText
    lgSwedish.Font.Height = -11
    lgSwedish.Font.Name = 'MS Sans Serif'
    lgSwedish.Font.Style = []
    lgSwedish.FontOverride = False
    lgVietnamese.Font.Color = clWindowText
    lgVietnamese.Font.Height = -11
    lgVietnamese.Font.Name = 'MS Sans Serif'
    lgVietnamese.Font.Style = []
    lgVietnamese.FontOverride = False
  end
  object idMiscellaneous: TInstallDirectory
    Tag = 1
    ArchiveFileType = psContainerArchiveFile
    Container = Install1
    Description = 'Uninstall'
    DestDir = '\Uninstall'
    DestDirType = psContainerDestDir
    InstallTypes = [itFull, itDefault, itCompact]
    OS = [oswin95, oswinNT, oswin2K, oswin98, oswinME, oswinXP]
  end
  object psFileContainer: TpsFileContainer
    FileContainer = idMiscellaneous
  end
  object IFifUninstallEXE_: TUninstallEXE
    ArchiveFileType = psContainerArchiveFile
    Container = idMiscellaneous
    DestDirType = psContainerDestDir
    DestName = 'uninstall.exe'
    FileName = 'uninstall.exe'
    IncludeFromDir = 'C:\Scrivane\Release'
    InstallTypes = [itFull, itDefault, itCompact]
    Order = -1
  end
  object Group: TInstallGroup
    Tag = 1
    ArchiveFileType = psContainerArchiveFile
    Container = Install1
    Description = 'Program Files'
    DestDirType = psContainerDestDir
    DialogOptions.AllowExcludeInclude = False
    DialogOptions.Description.Strings = (
      'The files needed to run the program.')
    InstallTypes = [itFull, itDefault, itCompact]
    OS = [oswin95, oswinNT, oswin2K, oswin98, oswinME, oswinXP]
  end
  object psFileContainer1: TpsFileContainer
    FileContainer = Group
  end
  object Directory: TInstallDirectory
    Tag = 1
    ArchiveFileType = psContainerArchiveFile
    Container = Group
    Description = 'Program Files_Main'
    DestDirType = psContainerDestDir
    InstallTypes = [itFull, itDefault, itCompact]
    OS = [oswin95, oswinNT, oswin2K, oswin98, oswinME, oswinXP]
  end
  object psFileContainer2: TpsFileContainer
    FileContainer = Directory
  end
  object IFScrivane_exe: TInstallFile
    ArchiveFileType = psContainerArchiveFile
    Container = Directory
    DestDirType = psContainerDestDir
    DestName = 'Scrivane.exe'
    FileName = 'Scrivane.exe'
    IncludeFromDir = 'C:\Scrivane\Release'
    InstallAttributes = []
    InstallTypes = [itFull, itDefault, itCompact]
    OS = [oswin95, oswinNT, oswin2K, oswin98, oswinME, oswinXP]
    UniqueID = 1
  end
  object Directory1: TInstallDirectory
    Tag = 1
    ArchiveFileType = psContainerArchiveFile
    Container = Group
    Description = 'Program Files_Tools'
    DestDir = '\Tools'
    DestDirType = psContainerDestDir
    InstallTypes = [itFull, itDefault, itCompact]
    OS = [oswin95, oswinNT, oswin2K, oswin98, oswinME, oswinXP]
  end
  object psFileContainer3: TpsFileContainer
    FileContainer = Directory1
  end
  object IFhwdll_dll: TInstallFile
    ArchiveFileType = psContainerArchiveFile
    Container = Directory1
    DestDirType = psContainerDestDir
    DestName = 'hwdll.dll'
    FileName = 'hwdll.dll'
    IncludeFromDir = 'C:\Scrivane\Release\Tools'
    InstallAttributes = []
    InstallTypes = [itFull, itDefault, itCompact]
    OS = [oswin95, oswinNT, oswin2K, oswin98, oswinME, oswinXP]
    UniqueID = 2
  end
  object IFhcrtf_exe: TInstallFile
    ArchiveFileType = psContainerArchiveFile
    Container = Directory1
    DestDirType = psContainerDestDir
    DestName = 'hcrtf.exe'
    FileName = 'hcrtf.exe'
    IncludeFromDir = 'C:\Scrivane\Release\Tools'
    InstallAttributes = []
    InstallTypes = [itFull, itDefault, itCompact]
    OS = [oswin95, oswinNT, oswin2K, oswin98, oswinME, oswinXP]
    UniqueID = 3
  end
  object Directory2: TInstallDirectory
    Tag = 1
    ArchiveFileType = psContainerArchiveFile
    Container = Group
    Description = 'Program Files_Help'
    DestDir = '\Help'
    DestDirType = psContainerDestDir
    InstallTypes = [itFull, itDefault, itCompact]
    OS = [oswin95, oswinNT, oswin2K, oswin98, oswinME, oswinXP]
  end
  object psFileContainer4: TpsFileContainer
    FileContainer = Directory2
  end
  object IFSCRIVANEHELP_HLP: TInstallFile
    ArchiveFileType = psContainerArchiveFile
    Container = Directory2
    DestDirType = psContainerDestDir
    DestName = 'SCRIVANE HELP.HLP'
    FileName = 'SCRIVANE HELP.HLP'
    IncludeFromDir = 'C:\Scrivane\Release\Help'
    InstallAttributes = []
    InstallTypes = [itFull, itDefault, itCompact]
    OS = [oswin95, oswinNT, oswin2K, oswin98, oswinME, oswinXP]
    RegisterAsHelp = True
    UniqueID = 4
  end
  object IFScrivaneHelp_cnt: TInstallFile
    ArchiveFileType = psContainerArchiveFile
    Container = Directory2
    DestDirType = psContainerDestDir
    DestName = 'Scrivane Help.cnt'
    FileName = 'Scrivane Help.cnt'
    IncludeFromDir = 'C:\Scrivane\Release\Help'
    InstallAttributes = []
    InstallTypes = [itFull, itDefault, itCompact]
    OS = [oswin95, oswinNT, oswin2K, oswin98, oswinME, oswinXP]
    RegisterAsHelp = True
    UniqueID = 5
  end
  object MainFolder: TMainLinkGroup
    Container = Install1
    DestDir = '\Halvern'
  end
  object SubLinkGroup: TSubLinkGroup
    Container = MainFolder
    DestDir = '\Scrivane'
  end
  object psObjectLink: TpsObjectLink
  end
  object InstallSubLink: TInstallSubLink
    Container = SubLinkGroup
    HotKey = 0
    LinkName = 'Scrivane.LNK'
    ObjectLink = IFScrivane_exe
    ObjectLocationType = psObjectLink
  end
  object InstallSubLink1: TInstallSubLink
    Container = SubLinkGroup
    HotKey = 0
    LinkName = 'Scrivane Help.LNK'
    ObjectLink = IFSCRIVANEHELP_HLP
    ObjectLocationType = psObjectLink
  end
  object InstallSubLink2: TInstallSubLink
    Container = SubLinkGroup
    HotKey = 0
    LinkName = 'uninstall.lnk'
    ObjectLink = IFifUninstallEXE_
    ObjectLocationType = psObjectLink
  end
  object InstallSubLink3: TInstallSubLink
    Container = SubLinkGroup
    HotKey = 0
    LinkName = 'www.example.com.URL'
    ObjectLocation = 'http://www.example.com'
  end
  object DialogManager: TDialogManager
    Container = Install1
    Height = 395
    ManagerType = dmBeforeInstall
    Position = tdpCenter
    RelativeLeftOffset = 0
    RelativeTopOffset = 0
    Width = 478
  end
  object DialogManager1: TDialogManager
    Container = Install1
    Height = 395
    ManagerType = dmAfterGoodInstall
    Position = tdpCenter
    RelativeLeftOffset = 0
    RelativeTopOffset = 0
    Width = 478
  end
  object DialogManager2: TDialogManager
    Container = Install1
    Height = 395
    ManagerType = dmAfterBadInstall
    Position = tdpCenter
    RelativeLeftOffset = 0
    RelativeTopOffset = 0
    Width = 478
  end
  object DialogManager3: TDialogManager
    Container = Install1
    Height = 395
    ManagerType = dmDuringCopyFiles
    Position = tdpCenter
    RelativeLeftOffset = 0
    RelativeTopOffset = 0
    Width = 478
  end
  object DialogManager4: TDialogManager
    Container = Install1
    Height = 395
    ManagerType = dmChangeDisk
    Position = tdpCenter
    RelativeLeftOffset = 0
    RelativeTopOffset = 0
    Width = 478
  end
  object DialogManager5: TDialogManager
    Container = Install1
    Height = 395
    ManagerType = dmReboot
    Position = tdpCenter
    RelativeLeftOffset = 0
    RelativeTopOffset = 0
    Width = 478
  end
  object LicenseDlg: TLicenseDlg
    Container = Install1
    DialogManager = DialogManager
    Order = 20
    OverrideMainTranslator = False
    LicenseAgreement.Strings = (
      'Scrivane 1.0.0.26 licence agreement'
      ''
      'Scrivane is freeware: you may use it free of charge, at home and at work.'
      ''
      'You may copy and give away the unchanged setup program freely, on any medium, as long as you charge nothing for it beyond the cost of the medium.'
      ''
      'You may not sell Scrivane, nor include it in a product that is sold.'
      ''
      'Scrivane is provided "as is", without warranty of any kind. The author is not liable for any damage or loss of data that comes from using the software or from being unable to use it.'
      ''
      'Installing the software means that you accept these terms.'
      ''
      'News and the latest version: http://www.example.com')
  end
  object ReadmeDlg: TReadmeDlg
    Container = Install1
    DialogManager = DialogManager
    Order = 30
    OverrideMainTranslator = False
    ReadmeText.Strings = (
      'Scrivane 1.0.0.26'
      '9 December 2026'
      ''
      'Scrivane is a help-authoring tool: write help pages of formatted text with links, pictures, page headers and a table of contents, keep them in .wkp project files, and generate the input files of the Windows Help compiler or export the pages to text, rich text and HTML.'
      ''
      'New Features This Build:'
      ''
      '- The table of contents can be rearranged by dragging its topics.'
      ''
      'Bug Fixes:'
      ''
      '- A page header no longer runs into the page text in the rich-text export.'
      ''
      'Start Scrivane from its icon in the Programs menu, or open a .wkp project file.'
      ''
      'Halvern, http://www.example.com')
  end
  object WelcomeDlg: TWelcomeDlg
    Container = Install1
    DialogManager = DialogManager
    Order = 10
    OverrideMainTranslator = False
  end
  object CopyFileDlg: TCopyFileDlg
    Container = Install1
    DialogManager = DialogManager3
    OverrideMainTranslator = False
    RelativeLeftOffset = 0
  end
  object InstallStatusDlg: TInstallStatusDlg
    Container = Install1
    OverrideMainTranslator = False
  end
  object BadInstallationDlg: TBadInstallationDlg
    Container = Install1
    DialogManager = DialogManager2
    Order = 10
    OverrideMainTranslator = False
  end
  object GoodInstallationDlg: TGoodInstallationDlg
    Container = Install1
    DialogManager = DialogManager1
    Order = 10
    OverrideMainTranslator = False
  end
  object SelectFolderDlg: TSelectFolderDlg
    Container = MainFolder
    DialogManager = DialogManager
    Order = 60
    OverrideMainTranslator = False
  end
  object SelectDestinationDlg: TSelectDestinationDlg
    Container = Install1
    DialogManager = DialogManager
    Order = 45
    OverrideMainTranslator = False
  end
  object NetLocation: TNetInstallLocation
    LoginInformation.Hostname = 'downloads.example.com'
  end
  object InstallRegistry2: TInstallRegistry
    Container = Install1
    Entries = <
      item
        Ident = ''
        Text = 'ScrivaneProject'
      end>
    InstallTypes = [itFull, itDefault, itCompact]
    Key = '\.wkp'
    KeySpecifierType = ksAbsolute
    RootKey = hkClassesRoot
  end
  object InstallRegistry: TInstallRegistry
    Container = Install1
    Entries = <
      item
        Ident = ''
        Text = 'Scrivane Project'
      end>
    InstallTypes = [itFull, itDefault, itCompact]
    Key = '\ScrivaneProject'
    KeySpecifierType = ksAbsolute
    RootKey = hkClassesRoot
  end
  object InstallRegistry1: TInstallRegistry
    Container = Install1
    InstallTypes = [itFull, itDefault, itCompact]
    Key = '\ScrivaneProject\shell'
    KeySpecifierType = ksAbsolute
    RootKey = hkClassesRoot
  end
  object InstallRegistry3: TInstallRegistry
    Container = Install1
    InstallTypes = [itFull, itDefault, itCompact]
    Key = '\ScrivaneProject\shell\open'
    KeySpecifierType = ksAbsolute
    RootKey = hkClassesRoot
  end
  object InstallRegistry4: TInstallRegistry
    Container = Install1
    Entries = <
      item
        Ident = ''
        PathSpecifier = psMainInstall
        Text = '"%p\Scrivane.exe" "%%1"'
      end>
    InstallTypes = [itFull, itDefault, itCompact]
    Key = '\ScrivaneProject\shell\open\command'
    KeySpecifierType = ksAbsolute
    RootKey = hkClassesRoot
  end
  object InstallRegistry6: TInstallRegistry
    Container = Install1
    Entries = <
      item
        Ident = ''
        PathSpecifier = psMainInstall
        Text = '%p\FileIcon.ico'
      end>
    InstallTypes = [itFull, itDefault, itCompact]
    Key = '\ScrivaneProject\DefaultIcon'
    KeySpecifierType = ksAbsolute
    RootKey = hkClassesRoot
  end
end
