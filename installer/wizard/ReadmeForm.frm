object ReadmeForm: TReadmeForm
  BorderIcons = [biSystemMenu]
  BorderStyle = bsDialog
  Caption = 'Readme information'
  ClientHeight = 368
  ClientWidth = 470
  Color = clBtnFace
  Font.Name = 'Arial'
  Font.Height = -11
  FormStyle = fsStayOnTop
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
      Default = True
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
  object Label1: TTranslateLabel
    Left = 144
    Top = 8
    Width = 318
    Height = 28
    AutoSize = False
    WordWrap = True
    Caption = 'Please read the information below before you install this software on your computer.'
    GLID = 8
  end
  object Information: TRichEdit
    Left = 144
    Top = 40
    Width = 318
    Height = 268
    Color = clBtnFace
    PlainText = True
    ReadOnly = True
    ScrollBars = ssVertical
    Lines.Strings = (
      'Put the readme information in this TRichEdit control.')
  end
end
