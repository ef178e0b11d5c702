object frmWindowPositionSize: TfrmWindowPositionSize
  Width = 276
  Height = 220
  BorderStyle = bsDialog
  Caption = 'Window Position / Size'
  Color = clBtnFace
  Font.Name = 'MS Sans Serif'
  Font.Height = -11
  HelpContext = 8
  Position = poScreenCenter
  OnClose = FormClose
  object GroupBox1: TGroupBox
    Left = 8
    Top = 8
    Width = 250
    Height = 65
    Caption = 'Screen Position'
    TabOrder = 0
    object Label1: TLabel
      Left = 8
      Top = 30
      Caption = 'Left:'
    end
    object edtLeft: TEdit
      Left = 58
      Top = 26
      Width = 60
      Height = 21
      TabOrder = 0
    end
    object Label2: TLabel
      Left = 128
      Top = 30
      Caption = 'Top:'
    end
    object edtTop: TEdit
      Left = 180
      Top = 26
      Width = 60
      Height = 21
      TabOrder = 1
    end
  end
  object GroupBox2: TGroupBox
    Left = 8
    Top = 80
    Width = 250
    Height = 65
    Caption = 'Window Size'
    TabOrder = 1
    object Label3: TLabel
      Left = 8
      Top = 30
      Caption = 'Width:'
    end
    object edtWidth: TEdit
      Left = 58
      Top = 26
      Width = 60
      Height = 21
      TabOrder = 0
    end
    object Label4: TLabel
      Left = 128
      Top = 30
      Caption = 'Height:'
    end
    object edtHeight: TEdit
      Left = 180
      Top = 26
      Width = 60
      Height = 21
      TabOrder = 1
    end
  end
  object btnOK: TButton
    Left = 96
    Top = 156
    Width = 75
    Height = 25
    Caption = 'OK'
    Default = True
    TabOrder = 2
    OnClick = btnOKClick
  end
end
