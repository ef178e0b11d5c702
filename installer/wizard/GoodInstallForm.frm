object GoodInstallForm: TGoodInstallForm
  BorderIcons = [biSystemMenu]
  BorderStyle = bsDialog
  Caption = 'Setup complete'
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
      Left = 304
      Top = 15
      Width = 75
      Height = 33
      Caption = '< Previous'
      GLID = 4
      OnClick = BackBtnClick
    end
    object ProceedBtn: TTranslateBitBtn
      Left = 384
      Top = 15
      Width = 75
      Height = 33
      Caption = 'Next >'
      GLID = 5
      OnClick = ProceedBtnClick
    end
    object FinishBtn: TTranslateBitBtn
      Left = 384
      Top = 15
      Width = 75
      Height = 33
      Caption = 'Finish'
      GLID = 72
      OnClick = ProceedBtnClick
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
    Top = 16
    Width = 318
    Height = 42
    AutoSize = False
    WordWrap = True
    Caption = 'The software has been properly installed. You may start the software by clicking on the icon.'
    GLID = 38
  end
end
