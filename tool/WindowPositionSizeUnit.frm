object frmWindowPositionSize: TfrmWindowPositionSize
  Width = 250
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
    Width = 225
    Height = 65
    Caption = 'Screen Position'
    TabOrder = 0
    object Label1: TLabel
      Left = 10
      Top = 30
      Caption = 'Left:'
    end
    object edtLeft: TEdit
      Left = 40
      Top = 26
      Width = 65
      Height = 21
      TabOrder = 0
    end
    object Label2: TLabel
      Left = 118
      Top = 30
      Caption = 'Top:'
    end
    object edtTop: TEdit
      Left = 148
      Top = 26
      Width = 65
      Height = 21
      TabOrder = 1
    end
  end
  object GroupBox2: TGroupBox
    Left = 8
    Top = 80
    Width = 225
    Height = 65
    Caption = 'Window Size'
    TabOrder = 1
    object Label3: TLabel
      Left = 6
      Top = 30
      Caption = 'Width:'
    end
    object edtWidth: TEdit
      Left = 40
      Top = 26
      Width = 65
      Height = 21
      TabOrder = 0
    end
    object Label4: TLabel
      Left = 112
      Top = 30
      Caption = 'Height:'
    end
    object edtHeight: TEdit
      Left = 148
      Top = 26
      Width = 65
      Height = 21
      TabOrder = 1
    end
  end
  object btnOK: TButton
    Left = 83
    Top = 156
    Width = 75
    Height = 25
    Caption = 'OK'
    Default = True
    TabOrder = 2
    OnClick = btnOKClick
  end
end
