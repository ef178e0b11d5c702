object frmPreferences: TfrmPreferences
  Width = 300
  Height = 230
  BorderStyle = bsDialog
  Caption = 'Preferences'
  Color = clBtnFace
  Font.Name = 'MS Sans Serif'
  Font.Height = -11
  HelpContext = 4
  Position = poScreenCenter
  OnCreate = FormCreate
  object GroupBox1: TGroupBox
    Left = 8
    Top = 8
    Width = 277
    Height = 65
    Caption = 'Program'
    TabOrder = 0
    object cbxBackups: TCheckBox
      Left = 12
      Top = 18
      Width = 253
      Height = 17
      Caption = 'Automatically Save A Backup Copy'
      TabOrder = 0
    end
    object cbxUpdates: TCheckBox
      Left = 12
      Top = 40
      Width = 253
      Height = 17
      Caption = 'Automatically Check For Updates'
      TabOrder = 1
    end
  end
  object GroupBox2: TGroupBox
    Left = 8
    Top = 80
    Width = 277
    Height = 65
    Caption = 'Compiler'
    TabOrder = 1
    object cbxCompression: TCheckBox
      Left = 12
      Top = 18
      Width = 253
      Height = 17
      Caption = 'Have Compiler Use Compression'
      TabOrder = 0
    end
    object cbxDisplay: TCheckBox
      Left = 12
      Top = 40
      Width = 253
      Height = 17
      Caption = 'Display Help File After Successful Compile'
      TabOrder = 1
    end
  end
  object btnOK: TButton
    Left = 64
    Top = 158
    Width = 75
    Height = 25
    Caption = 'OK'
    Default = True
    ModalResult = 1
    TabOrder = 2
    OnClick = btnOKClick
  end
  object btnCancel: TButton
    Left = 152
    Top = 158
    Width = 75
    Height = 25
    Cancel = True
    Caption = 'Cancel'
    ModalResult = 2
    TabOrder = 3
  end
end
