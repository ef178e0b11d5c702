object LicenseForm: TLicenseForm
  BorderIcons = [biSystemMenu]
  BorderStyle = bsDialog
  Caption = 'Software license agreement'
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
      Caption = 'Accept >'
      GLID = 88
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
    Height = 16
    AutoSize = False
    WordWrap = True
    Caption = 'Please read the following License Agreement.'
    GLID = 2
  end
  object Agreement: TRichEdit
    Left = 144
    Top = 28
    Width = 318
    Height = 228
    Color = clBtnFace
    PlainText = True
    ReadOnly = True
    ScrollBars = ssVertical
    Lines.Strings = (
      'Put the license in the Agreement property. This is a '
      'TRichEdit control, so you can add any formatting '
      'information necessary.')
  end
  object Label2: TTranslateLabel
    Left = 144
    Top = 262
    Width = 318
    Height = 48
    AutoSize = False
    WordWrap = True
    Caption = 'By clicking on the Accept button below, you agree to all terms stated in the License Agreement. You may cancel the installation by clicking on the Cancel button.'
    GLID = 3
  end
end
