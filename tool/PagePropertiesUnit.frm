object frmPageProperties: TfrmPageProperties
  Width = 350
  Height = 224
  BorderStyle = bsDialog
  Caption = 'Page Properties'
  HelpContext = 12
  Position = poScreenCenter
  object lblName: TLabel
    Left = 8
    Top = 12
    Caption = 'Name'
  end
  object lblContextID: TLabel
    Left = 8
    Top = 40
    Caption = 'Context ID'
  end
  object lblTopicID: TLabel
    Left = 8
    Top = 68
    Caption = 'Topic ID'
  end
  object lblTopicTitle: TLabel
    Left = 8
    Top = 96
    Caption = 'Topic Title'
  end
  object lblIndexKeywords: TLabel
    Left = 8
    Top = 122
    Caption = 'Index Keywords (Separated by semi-colons)'
  end
  object edtName: TEdit
    Left = 88
    Top = 8
    Width = 246
    Height = 21
    TabOrder = 0
  end
  object edtContextID: TEdit
    Left = 88
    Top = 36
    Width = 246
    Height = 21
    TabOrder = 1
  end
  object edtTopicID: TEdit
    Left = 88
    Top = 64
    Width = 246
    Height = 21
    TabOrder = 2
  end
  object edtTopicTitle: TEdit
    Left = 88
    Top = 92
    Width = 246
    Height = 21
    TabOrder = 3
  end
  object edtIndexKeywords: TEdit
    Left = 8
    Top = 138
    Width = 326
    Height = 21
    TabOrder = 4
  end
  object btnOK: TButton
    Left = 259
    Top = 166
    Width = 75
    Height = 25
    Caption = 'OK'
    Default = True
    TabOrder = 5
    OnClick = btnOKClick
  end
end
