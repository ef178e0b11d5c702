object frmCheckForNewVersions: TfrmCheckForNewVersions
  Width = 398
  Height = 273
  BorderStyle = bsDialog
  Caption = 'Check For New Versions'
  Color = clBtnFace
  Font.Name = 'MS Sans Serif'
  Font.Size = 8
  HelpContext = 16
  Position = poScreenCenter
  OnActivate = FormActivate
  object Panel1: TPanel
    Height = 33
    Align = alTop
    BevelOuter = bvLowered
    object Label1: TLabel
      Left = 8
      Top = 10
      Caption = 'Status: '
    end
    object lblStatus: TLabel
      Left = 60
      Top = 10
      Caption = 'Checking For New Versions...'
    end
  end
  object mmoVersionNotes: TMemo
    Align = alClient
    ParentFont = False
    Font.Color = clBlack
    Font.Name = 'MS Sans Serif'
    Font.Size = 8
    ReadOnly = True
    ScrollBars = ssVertical
    TabStop = False
  end
  object Panel2: TPanel
    Height = 33
    Align = alBottom
    BevelOuter = bvLowered
    object Label2: TLabel
      Left = 8
      Top = 10
      Cursor = crHandPoint
      Caption = 'Open Scrivane Home Page'
      ParentFont = False
      Font.Color = clBlue
      Font.Name = 'MS Sans Serif'
      Font.Size = 8
      Font.Style = [fsUnderline]
      OnClick = Label2Click
    end
  end
end
