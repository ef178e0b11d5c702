object frmMainMenu: TfrmMainMenu
  Left = 0
  Top = 0
  Width = 746
  Height = 504
  Caption = 'Windows Scrivane'
  Color = clBtnFace
  Font.Name = 'MS Sans Serif'
  Font.Height = -11
  HelpContext = 1
  Menu = MainMenu1
  Position = poScreenCenter
  OnClose = FormClose
  OnCreate = FormCreate
  OnShow = FormShow
  object pnlLeft: TPanel
    Left = 0
    Top = 0
    Width = 169
    Align = alLeft
    BevelOuter = bvNone
    object pnlPagesCaption: TPanel
      Top = 0
      Height = 20
      Align = alTop
      BevelOuter = bvRaised
      Caption = 'Pages In File'
      object SpinButton1: TSpinButton
        Left = 2
        Top = 2
        Width = 15
        Height = 16
        OnUpClick = SpinButton1UpClick
        OnDownClick = SpinButton1DownClick
      end
    end
    object lstPages: TListBox
      Top = 20
      Height = 150
      Align = alTop
      HelpContext = 12
      ItemHeight = 13
      PopupMenu = popPages
      OnClick = lstPagesClick
      OnDblClick = PropertiesPageClick
      OnKeyUp = lstPagesKeyUp
      OnMouseDown = lstLinksMouseDown
    end
    object Splitter1: TSplitter
      Top = 170
      Height = 3
      Cursor = crVSplit
      Align = alTop
    end
    object pnlLinksCaption: TPanel
      Top = 173
      Height = 20
      Align = alTop
      BevelOuter = bvRaised
      Caption = 'Links For Page'
    end
    object lstLinks: TListBox
      Top = 193
      Height = 110
      Align = alTop
      HelpContext = 13
      ItemHeight = 13
      PopupMenu = popLinks
      OnDblClick = PropertiesLinkClick
      OnKeyUp = lstLinksKeyUp
      OnMouseDown = lstLinksMouseDown
    end
    object Splitter2: TSplitter
      Top = 303
      Height = 3
      Cursor = crVSplit
      Align = alTop
    end
    object pnlPicturesCaption: TPanel
      Top = 306
      Height = 20
      Align = alTop
      BevelOuter = bvRaised
      Caption = 'Pictures For Page'
    end
    object lstPictures: TListBox
      Top = 326
      Align = alClient
      HelpContext = 14
      ItemHeight = 13
      PopupMenu = popPictures
      OnKeyUp = lstPicturesKeyUp
      OnMouseDown = lstLinksMouseDown
    end
  end
  object Splitter3: TSplitter
    Left = 169
    Width = 4
    Cursor = crHSplit
    Align = alLeft
  end
  object pnlPage: TPanel
    Left = 173
    Top = 0
    Align = alClient
    BevelOuter = bvNone
    object pnlPageCaption: TPanel
      Top = 0
      Height = 27
      Align = alTop
      BevelOuter = bvRaised
      Alignment = taLeftJustify
      Caption = '  Current Page'
      object btnBold: TSpeedButton
        Left = 80
        Top = 2
        Width = 23
        Height = 23
        Flat = True
        Caption = 'B'
        ParentFont = False
        Font.Name = 'Arial'
        Font.Height = -13
        Font.Style = [fsBold]
        OnClick = Bold1Click
      end
      object btnItalic: TSpeedButton
        Left = 104
        Top = 2
        Width = 23
        Height = 23
        Flat = True
        Caption = 'I'
        ParentFont = False
        Font.Name = 'Arial'
        Font.Height = -13
        Font.Style = [fsItalic]
        OnClick = Italic1Click
      end
      object btnLeft: TSpeedButton
        Left = 136
        Top = 2
        Width = 23
        Height = 23
        Flat = True
        Caption = 'L'
        ParentFont = False
        Font.Name = 'Arial'
        Font.Height = -13
        Font.Style = []
        OnClick = Left1Click
      end
      object btnCenter: TSpeedButton
        Left = 160
        Top = 2
        Width = 23
        Height = 23
        Flat = True
        Caption = 'C'
        ParentFont = False
        Font.Name = 'Arial'
        Font.Height = -13
        Font.Style = []
        OnClick = CenterJustify1Click
      end
      object btnRight: TSpeedButton
        Left = 184
        Top = 2
        Width = 23
        Height = 23
        Flat = True
        Caption = 'R'
        ParentFont = False
        Font.Name = 'Arial'
        Font.Height = -13
        Font.Style = []
        OnClick = RightJustify1Click
      end
    end
    object mmoPage: TRichEdit
      Top = 27
      Align = alClient
      Color = clWhite
      ParentFont = False
      Font.Color = clBlack
      Font.Height = -13
      Font.Name = 'Arial'
      Font.Style = []
      HelpContext = 2
      HideSelection = False
      PopupMenu = popEditor
      ScrollBars = ssVertical
      Visible = False
      WantTabs = True
      OnKeyPress = mmoPageKeyPress
      OnProtectChange = mmoPageProtectChange
    end
  end
  object StatusBar1: TStatusBar
    Align = alBottom
    Height = 19
    SimplePanel = False
    Panels = <
      item
        Text = 'File Name:'
        Width = 50
      end>
  end
  object MainMenu1: TMainMenu
    object File1: TMenuItem
      Caption = '&File'
      HelpContext = 3
      object New1: TMenuItem
        Caption = '&New'
        ShortCut = 16462
        OnClick = New1Click
      end
      object Open1: TMenuItem
        Caption = '&Open'
        ShortCut = 16463
        OnClick = Open1Click
      end
      object Reopen1: TMenuItem
        Caption = '&Reopen'
      end
      object Save1: TMenuItem
        Caption = '&Save'
        ShortCut = 16467
        OnClick = Save1Click
      end
      object SaveAs1: TMenuItem
        Caption = 'Save &As'
        OnClick = SaveAs1Click
      end
      object N1: TMenuItem
        Caption = '-'
      end
      object Preferences1: TMenuItem
        Caption = '&Preferences'
        HelpContext = 4
        OnClick = Preferences1Click
      end
      object N2: TMenuItem
        Caption = '-'
      end
      object Exit1: TMenuItem
        Caption = 'E&xit'
        OnClick = Exit1Click
      end
    end
    object Project1: TMenuItem
      Caption = 'P&roject'
      HelpContext = 5
      object HelpFileName1: TMenuItem
        Caption = '&Help File Name'
        HelpContext = 6
        OnClick = HelpFileName1Click
      end
      object HelpWindow1: TMenuItem
        Caption = 'Help &Window Colors'
        HelpContext = 7
        OnClick = HelpWindow1Click
      end
      object HelpWindowPositionSize1: TMenuItem
        Caption = 'Help Window &Position / Size'
        HelpContext = 8
        OnClick = HelpWindowPositionSize1Click
      end
      object TableOfContents1: TMenuItem
        Caption = '&Table Of Contents'
        HelpContext = 9
        ShortCut = 16468
        OnClick = TableOfContents1Click
      end
      object N3: TMenuItem
        Caption = '-'
      end
      object MakeHelpFile1: TMenuItem
        Caption = '&Make The Help File'
        HelpContext = 10
        ShortCut = 16461
        OnClick = MakeHelpFile1Click
      end
      object N4: TMenuItem
        Caption = '-'
      end
      object ExportTo1: TMenuItem
        Caption = '&Export To'
        HelpContext = 11
        object RTF1: TMenuItem
          Caption = 'Rich Text File (RTF)'
          OnClick = RTF1Click
        end
        object TXT1: TMenuItem
          Caption = 'Text File (TXT)'
          OnClick = TXT1Click
        end
        object HTML1: TMenuItem
          Caption = 'HTML File (HTML)'
          OnClick = HTML1Click
        end
      end
      object ImportFrom1: TMenuItem
        Caption = '&Import From'
        Visible = False
        object RichTextFileRTF1: TMenuItem
          Caption = 'Rich Text File (RTF)'
          OnClick = RichTextFileRTF1Click
        end
        object TextFileTXT1: TMenuItem
          Caption = 'Text File (TXT)'
          OnClick = TextFileTXT1Click
        end
      end
    end
    object Page1: TMenuItem
      Caption = '&Page'
      HelpContext = 12
      object AddPage: TMenuItem
        Caption = '&Add'
        ShortCut = 16464
        OnClick = AddPageClick
      end
      object DeletePage: TMenuItem
        Caption = '&Delete'
        OnClick = DeletePageClick
      end
      object N5: TMenuItem
        Caption = '-'
      end
      object PropertiesPage: TMenuItem
        Caption = '&Properties'
        OnClick = PropertiesPageClick
      end
      object Header1: TMenuItem
        Caption = 'Page &Header'
        OnClick = Header1Click
      end
    end
    object Links1: TMenuItem
      Caption = '&Links'
      HelpContext = 13
      object AddLink: TMenuItem
        Caption = '&Add'
        ShortCut = 16460
        OnClick = AddLinkClick
      end
      object DeleteLink: TMenuItem
        Caption = '&Delete'
        OnClick = DeleteLinkClick
      end
      object N6: TMenuItem
        Caption = '-'
      end
      object PropertiesLink: TMenuItem
        Caption = '&Properties'
        OnClick = PropertiesLinkClick
      end
      object InsertLinkAtCursor1: TMenuItem
        Caption = '&Insert At Cursor'
        OnClick = InsertLinkAtCursor1Click
      end
      object RemoveLinkAtCursor1: TMenuItem
        Caption = '&Remove Link At Cursor'
        OnClick = RemoveLinkAtCursor1Click
      end
    end
    object Pictures1: TMenuItem
      Caption = '&Pictures'
      HelpContext = 14
      object AddPic: TMenuItem
        Caption = '&Add'
        ShortCut = 16457
        OnClick = AddPicClick
      end
      object DeletePic: TMenuItem
        Caption = '&Delete'
        OnClick = DeletePicClick
      end
      object N7: TMenuItem
        Caption = '-'
      end
      object InsertPictureAtCursor2: TMenuItem
        Caption = '&Insert At Cursor'
        OnClick = InsertPictureAtCursor2Click
      end
      object RemovePictureAtCursor1: TMenuItem
        Caption = '&Remove Picture At Cursor'
        OnClick = RemovePictureAtCursor1Click
      end
    end
    object Text1: TMenuItem
      Caption = '&Text'
      HelpContext = 15
      object mnuFont: TMenuItem
        Caption = 'Change &Font'
        ShortCut = 16454
        OnClick = mnuFontClick
      end
      object N8: TMenuItem
        Caption = '-'
      end
      object Bold1: TMenuItem
        Caption = 'Toggle &Bold'
        ShortCut = 16450
        OnClick = Bold1Click
      end
      object Italic1: TMenuItem
        Caption = 'Toggle &Italic'
        ShortCut = 16449
        OnClick = Italic1Click
      end
      object N9: TMenuItem
        Caption = '-'
      end
      object Left1: TMenuItem
        Caption = '&Left Justify'
        OnClick = Left1Click
      end
      object RightJustify1: TMenuItem
        Caption = '&Right Justify'
        OnClick = RightJustify1Click
      end
      object CenterJustify1: TMenuItem
        Caption = 'C&enter Justify'
        OnClick = CenterJustify1Click
      end
      object N10: TMenuItem
        Caption = '-'
      end
      object Cut1: TMenuItem
        Caption = 'C&ut'
        ShortCut = 16472
        OnClick = Cut1Click
      end
      object Copy1: TMenuItem
        Caption = '&Copy'
        ShortCut = 16451
        OnClick = Copy1Click
      end
      object Paste1: TMenuItem
        Caption = '&Paste'
        ShortCut = 16470
        OnClick = Paste1Click
      end
    end
    object Help1: TMenuItem
      Caption = '&Help'
      HelpContext = 16
      object HelpFile1: TMenuItem
        Caption = '&Help File'
        ShortCut = 112
        OnClick = HelpFile1Click
      end
      object N11: TMenuItem
        Caption = '-'
      end
      object CheckForUpdates1: TMenuItem
        Caption = '&Check For Updates'
        OnClick = CheckForUpdates1Click
      end
      object N12: TMenuItem
        Caption = '-'
      end
      object HalvernHomePage1: TMenuItem
        Caption = '&Halvern Home Page'
        OnClick = HalvernHomePage1Click
      end
      object ScrivaneHomePage1: TMenuItem
        Caption = 'Scrivane Home &Page'
        OnClick = ScrivaneHomePage1Click
      end
      object N13: TMenuItem
        Caption = '-'
      end
      object About1: TMenuItem
        Caption = '&About'
        OnClick = About1Click
      end
    end
  end
  object popEditor: TPopupMenu
    object popEditorText: TMenuItem
      Caption = '&Text'
      object popFont: TMenuItem
        Caption = 'Change &Font'
        OnClick = mnuFontClick
      end
      object N14: TMenuItem
        Caption = '-'
      end
      object popBold: TMenuItem
        Caption = 'Toggle &Bold'
        OnClick = Bold1Click
      end
      object popItalic: TMenuItem
        Caption = 'Toggle &Italics'
        OnClick = Italic1Click
      end
      object N15: TMenuItem
        Caption = '-'
      end
      object popCut: TMenuItem
        Caption = '&Cut'
        OnClick = Cut1Click
      end
      object popCopy: TMenuItem
        Caption = 'C&opy'
        OnClick = Copy1Click
      end
      object popPaste: TMenuItem
        Caption = 'P&aste'
        OnClick = Paste1Click
      end
      object N16: TMenuItem
        Caption = '-'
      end
      object popLeft: TMenuItem
        Caption = '&Left Justify'
        OnClick = Left1Click
      end
      object popCenter: TMenuItem
        Caption = 'C&enter Justify'
        OnClick = CenterJustify1Click
      end
      object popRight: TMenuItem
        Caption = '&Right Justify'
        OnClick = RightJustify1Click
      end
    end
    object popEditorPictures: TMenuItem
      Caption = '&Pictures'
      object popInsertPicture: TMenuItem
        Caption = '&Insert At Cursor'
        OnClick = InsertPictureAtCursor2Click
      end
      object popRemovePicture: TMenuItem
        Caption = '&Remove At Cursor'
        OnClick = RemovePictureAtCursor1Click
      end
    end
    object popEditorLinks: TMenuItem
      Caption = '&Links'
      object popInsertLink: TMenuItem
        Caption = '&Insert At Cursor'
        OnClick = InsertLinkAtCursor1Click
      end
      object popRemoveLink: TMenuItem
        Caption = '&Remove At Cursor'
        OnClick = RemoveLinkAtCursor1Click
      end
    end
  end
  object popPages: TPopupMenu
    object popAddPage: TMenuItem
      Caption = '&Add'
      HelpContext = 12
      OnClick = AddPageClick
    end
    object popDeletePage: TMenuItem
      Caption = '&Delete'
      HelpContext = 12
      OnClick = DeletePageClick
    end
    object N17: TMenuItem
      Caption = '-'
    end
    object popPropertiesPage: TMenuItem
      Caption = '&Properties'
      HelpContext = 12
      OnClick = PropertiesPageClick
    end
    object popHeader: TMenuItem
      Caption = 'Page &Header'
      HelpContext = 12
      OnClick = Header1Click
    end
  end
  object popLinks: TPopupMenu
    object popAddLink: TMenuItem
      Caption = '&Add'
      HelpContext = 13
      OnClick = AddLinkClick
    end
    object popDeleteLink: TMenuItem
      Caption = '&Delete'
      HelpContext = 13
      OnClick = DeleteLinkClick
    end
    object N18: TMenuItem
      Caption = '-'
    end
    object popPropertiesLink: TMenuItem
      Caption = '&Properties'
      HelpContext = 13
      OnClick = PropertiesLinkClick
    end
    object popInsertLinkAtCursor: TMenuItem
      Caption = '&Insert At Cursor'
      HelpContext = 13
      OnClick = InsertLinkAtCursor1Click
    end
  end
  object popPictures: TPopupMenu
    object popAddPic: TMenuItem
      Caption = '&Add'
      HelpContext = 14
      OnClick = AddPicClick
    end
    object popDeletePic: TMenuItem
      Caption = '&Delete'
      HelpContext = 14
      OnClick = DeletePicClick
    end
    object N19: TMenuItem
      Caption = '-'
    end
    object popInsertPictureAtCursor: TMenuItem
      Caption = '&Insert At Cursor'
      HelpContext = 14
      OnClick = InsertPictureAtCursor2Click
    end
  end
end
