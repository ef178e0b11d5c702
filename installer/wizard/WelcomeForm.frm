object WelcomeForm: TWelcomeForm
  BorderIcons = [biSystemMenu]
  BorderStyle = bsDialog
  Caption = 'Welcome'
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
    object Rotate3DLabel1: TRotate3DLabel
      Left = 8
      Top = 24
      Width = 185
      Height = 17
      Caption = 'ULO Deployment Software'
      ParentFont = False
      Font.Name = 'Arial'
      Font.Height = -11
      Font.Style = [fsBold]
      LabelStyle.AStyle3D = A3dResit
      LabelStyle.AShadeLTSet = False
      Tag = -1
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
    Top = 16
    Width = 318
    Height = 28
    AutoSize = False
    WordWrap = True
    Caption = 'This program will install the software on your computer.'
    GLID = 10
  end
  object Label2: TTranslateLabel
    Left = 144
    Top = 52
    Width = 318
    Height = 56
    AutoSize = False
    WordWrap = True
    Caption = 'It is strongly recommended that you exit all Windows programs before running this setup. If you need to close any programs, click Cancel to quit the setup and then close the programs.'
    GLID = 11
  end
  object Label3: TTranslateLabel
    Left = 144
    Top = 116
    Width = 318
    Height = 28
    AutoSize = False
    WordWrap = True
    Caption = 'Click Next to continue with the installation.'
    GLID = 12
  end
end
