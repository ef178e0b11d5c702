object frmAbout: TfrmAbout
  Width = 330
  Height = 236
  BorderStyle = bsDialog
  Caption = 'About Screen'
  Color = clBtnFace
  Font.Name = 'MS Sans Serif'
  Font.Height = -11
  HelpContext = 16
  Position = poScreenCenter
  OnCreate = FormCreate
  object imgIcon: TImage
    Left = 12
    Top = 12
    Width = 32
    Height = 32
    Picture.Data = {
      424D760200000000000076000000280000002000000020000000010004000000
      000000020000130B0000130B0000100000000000000000000000FFFFFF008080
      8000A0000000C0C0C0002060A00060D0F0000000800000000000000000000000
      0000000000000000000000000000000000000000000044444444444444444444
      4444444444444444442222222222222222222444444444444000000000000000
      0000244444444444401111711111111111102444444444444011111711111111
      1110244444444444401111115611111111102444444444444011111165611111
      1110244444444444401133333656111111102444444444444011111111656111
      1110244444444444401111111116561111102444444444444011111111116561
      1110244444444444401133333333365611102444444444444011111111111165
      6110244444444444401111111111111656102444444444444011111111111111
      6560244444444444401133333333333316562444444444444011111111111111
      1165644444444444401111111111111111165644444444444011111111111111
      1110656444444444401133333333333311102656444444444011111111111111
      1110246564444444401111111111111111102446564444444011111111111111
      1110244465644444401133333333333311102444464444444011111111111111
      1110244444444444401111111111111111102444444444444011111111111111
      1110244444444444401111111111111111102444444444444000000000000000
      0000444444444444444444444444444444444444444444444444444444444444
      44444444444444444444444444444444444444444444
      }
  end
  object lblProduct: TLabel
    Left = 60
    Top = 10
    Caption = 'Scrivane'
    ParentFont = False
    Font.Name = 'Arial'
    Font.Height = -27
    Font.Style = [fsBold]
  end
  object lblVersionCaption: TLabel
    Left = 60
    Top = 50
    Caption = 'Version:'
    ParentFont = False
    Font.Name = 'Arial'
    Font.Height = -16
    Font.Style = [fsBold]
  end
  object lblVersion: TLabel
    Left = 140
    Top = 50
    ParentFont = False
    Font.Name = 'Arial'
    Font.Height = -16
    Font.Style = [fsBold]
  end
  object lblMaker: TLabel
    Left = 60
    Top = 82
    Caption = 'Halvern'
    ParentFont = False
    Font.Name = 'Arial'
    Font.Height = -21
    Font.Style = [fsBold]
  end
  object lblWebAddress: TLabel
    Left = 60
    Top = 114
    Caption = 'http://www.example.com/'
  end
  object lblNotice: TLabel
    Left = 12
    Top = 136
    Width = 300
    Height = 28
    AutoSize = False
    WordWrap = True
    Caption = 'Scrivane writes the files from which the Windows Help compiler makes help files.'
  end
  object btnOK: TButton
    Left = 127
    Top = 172
    Width = 75
    Height = 25
    Caption = 'OK'
    Default = True
    Cancel = True
    TabOrder = 0
    OnClick = btnOKClick
  end
end
