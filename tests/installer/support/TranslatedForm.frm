object frmTranslated: TfrmTranslated
  Width = 400
  Height = 300
  Caption = 'Setup'
  Font.Name = 'Tahoma'
  Font.Height = -8
  object MainTranslator: TTranslator
    lgEnglish.Strings.Strings = (
      '* The texts of the setup, in English'
      '1;Setup'
      '2;Welcome'
      '3;&Next >'
      '4;Cancel'
      '5;Red'
      '6;Green'
      '7;Choose a colour'
      '#20;'
      'Thank you for choosing'
      'our product.'
      '#')
    lgGerman.Strings.Strings = (
      '1;Installation'
      '2;Willkommen'
      '3;&Weiter >'
      '4;Abbrechen'
      '5;Rot'
      '6;Gr'#252'n'
      '7;W'#228'hlen Sie eine Farbe'
      '#20;'
      'Danke, dass Sie'
      'unser Produkt gew'#228'hlt haben.'
      '#')
  end
  object lblWelcome: TTranslateLabel
    Left = 8
    Top = 8
    Caption = 'Welcome'
    GLID = 2
  end
  object lblUntouched: TTranslateLabel
    Left = 8
    Top = 28
    Caption = 'Welcome'
    GLID = -1
  end
  object lblChoose: TTranslateLabel
    Left = 8
    Top = 48
    Caption = 'Choose a colour'
    GLID = 0
    ParentFont = False
    Font.Name = 'Tahoma'
    Font.Height = -16
  end
  object lstColours: TListBox
    Left = 8
    Top = 68
    Width = 120
    Height = 60
    Items.Strings = (
      'Red'
      'green'
      'Blue')
  end
  object memThanks: TMemo
    Left = 140
    Top = 68
    Width = 240
    Height = 60
    Lines.Strings = (
      'Thank you for choosing'
      'our product.')
  end
  object pnlButtons: TPanel
    Left = 0
    Top = 220
    Width = 392
    Height = 41
    Align = alBottom
    Caption = ''
    object btnNext: TTranslateBitBtn
      Left = 200
      Top = 8
      Width = 90
      Height = 25
      Caption = '&Next >'
      GLID = 3
    end
    object btnCancel: TButton
      Left = 296
      Top = 8
      Width = 90
      Height = 25
      Caption = 'Cancel'
    end
  end
end
