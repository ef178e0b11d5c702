object frmPageHeader: TfrmPageHeader
  Width = 510
  Height = 234
  Caption = 'Page Header'
  HelpContext = 12
  Menu = mnuMain
  Position = poScreenCenter
  object mmoHeader: TRichEdit
    Align = alClient
    Font.Color = clBlack
    Font.Height = -13
    Font.Name = 'Arial'
    Font.Style = []
    HideSelection = False
    ScrollBars = ssBoth
    TabOrder = 0
  end
  object pnlButtons: TPanel
    Width = 502
    Height = 41
    Align = alBottom
    BevelOuter = bvNone
    TabOrder = 1
    object btnDone: TButton
      Left = 419
      Top = 8
      Width = 75
      Height = 25
      Anchors = [akTop, akRight]
      Caption = 'Done'
      TabOrder = 0
      OnClick = btnDoneClick
    end
  end
  object mnuMain: TMainMenu
    object mnuText: TMenuItem
      Caption = '&Text'
      object mnuFont: TMenuItem
        Caption = 'Change &Font'
        ShortCut = 16454
        OnClick = mnuFontClick
      end
    end
  end
  object dlgFont: TFontDialog
  end
end
