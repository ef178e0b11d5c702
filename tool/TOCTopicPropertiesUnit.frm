object frmTOCTopicProperties: TfrmTOCTopicProperties
  Width = 350
  Height = 118
  BorderStyle = bsDialog
  Caption = 'Topic Properties'
  HelpContext = 9
  Position = poScreenCenter
  object lblName: TLabel
    Left = 8
    Top = 12
    Caption = 'Name'
  end
  object lblLinkToPage: TLabel
    Left = 8
    Top = 40
    Caption = 'Page To Link To'
  end
  object edtName: TEdit
    Left = 96
    Top = 8
    Width = 238
    Height = 21
    TabOrder = 0
  end
  object cbxLinkToPage: TComboBox
    Left = 96
    Top = 36
    Width = 238
    Height = 21
    Style = csDropDownList
    TabOrder = 1
  end
  object btnOK: TButton
    Left = 178
    Top = 62
    Width = 75
    Height = 25
    Caption = 'OK'
    Default = True
    ModalResult = 1
    TabOrder = 2
  end
  object btnCancel: TButton
    Left = 259
    Top = 62
    Width = 75
    Height = 25
    Cancel = True
    Caption = 'Cancel'
    ModalResult = 2
    TabOrder = 3
  end
end
