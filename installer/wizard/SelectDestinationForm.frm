object SelectDestinationForm: TSelectDestinationForm
  BorderIcons = [biSystemMenu]
  BorderStyle = bsDialog
  Caption = 'Choose Destination Location'
  ClientHeight = 368
  ClientWidth = 470
  Color = clBtnFace
  Font.Name = 'Arial'
  Font.Height = -11
  Position = poScreenCenter
  OnCreate = FormCreate
  object BottomPanel: TPanel
    Left = 0
    Top = 316
    Width = 470
    Height = 52
    Align = alBottom
    BevelOuter = bvNone
    Caption = ''
    object Bevel1: TBevel
      Left = 0
      Top = 0
      Width = 470
      Height = 2
      Align = alTop
      Shape = bsTopLine
    end
    object BackBtn: TTranslateBitBtn
      Left = 208
      Top = 15
      Width = 75
      Height = 33
      Caption = '< Previous'
      GLID = 4
      OnClick = BackBtnClick
    end
    object ProceedBtn: TTranslateBitBtn
      Left = 288
      Top = 15
      Width = 75
      Height = 33
      Caption = 'Next >'
      GLID = 5
      OnClick = ProceedBtnClick
    end
    object CancelBtn: TTranslateBitBtn
      Left = 368
      Top = 15
      Width = 89
      Height = 33
      Kind = bkCancel
      Caption = 'Cancel'
      ModalResult = 0
      GLID = 6
      OnClick = CancelBtnClick
    end
  end
  object LeftPanel: TPanel
    Left = 0
    Top = 0
    Width = 136
    Height = 316
    Align = alLeft
    BevelOuter = bvNone
    Caption = ''
    object ThemeBitmap: TImage
      Left = 0
      Top = 0
      Width = 136
      Height = 316
      Align = alClient
      Center = True
    end
  end
  object lblText1: TTranslateLabel
    Left = 144
    Top = 16
    Width = 318
    Height = 28
    AutoSize = False
    WordWrap = True
    Caption = 'Which directory do you want to install this program into?'
    GLID = 85
  end
  object lblText2: TTranslateLabel
    Left = 144
    Top = 52
    Width = 318
    Height = 28
    AutoSize = False
    WordWrap = True
    Caption = 'To install to the directory displayed below, click Next.'
    GLID = 86
  end
  object lblText3: TTranslateLabel
    Left = 144
    Top = 88
    Width = 318
    Height = 28
    AutoSize = False
    WordWrap = True
    Caption = 'To install to a different directory, click Browse and select another directory.'
    GLID = 87
  end
  object gbDirectory: TGroupBox
    Left = 144
    Top = 236
    Width = 318
    Height = 68
    Caption = 'Destination Directory'
    object edDestDir: TEdit
      Left = 8
      Top = 26
      Width = 208
      Height = 21
      OnChange = edDestDirChange
    end
    object BrowseBtn: TTranslateBitBtn
      Left = 224
      Top = 24
      Width = 89
      Height = 25
      Caption = '&Browse'
      GLID = 26
      OnClick = BrowseBtnClick
    end
  end
end
