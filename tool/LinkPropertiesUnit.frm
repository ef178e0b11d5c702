object frmLinkProperties: TfrmLinkProperties
  Width = 372
  Height = 217
  BorderStyle = bsDialog
  Caption = 'Link Properties'
  HelpContext = 13
  Position = poScreenCenter
  object lblName: TLabel
    Left = 8
    Top = 12
    Caption = 'Link Name'
  end
  object lblText: TLabel
    Left = 8
    Top = 40
    Caption = 'Text'
  end
  object lblLinkType: TLabel
    Left = 8
    Top = 68
    Caption = 'Link Type'
  end
  object edtName: TEdit
    Left = 80
    Top = 8
    Width = 276
    Height = 21
    TabOrder = 0
  end
  object edtText: TEdit
    Left = 80
    Top = 36
    Width = 276
    Height = 21
    TabOrder = 1
  end
  object cbxLinkType: TComboBox
    Left = 80
    Top = 64
    Width = 276
    Height = 21
    Style = csDropDownList
    Items.Strings = (
      'Link To Topic In File'
      'Open External URL'
      'Open New External E-Mail')
    ItemIndex = 0
    TabOrder = 2
    OnChange = cbxLinkTypeChange
  end
  object gbxTopicLink: TGroupBox
    Left = 8
    Top = 90
    Width = 348
    Height = 64
    Caption = 'Topic Link'
    TabOrder = 3
    object lblLinkToPage: TLabel
      Left = 8
      Top = 20
      Caption = 'Page To Link To'
    end
    object cbxLinkToPage: TComboBox
      Left = 104
      Top = 16
      Width = 236
      Height = 21
      Style = csDropDownList
      TabOrder = 0
    end
    object cbxPopupLink: TCheckBox
      Left = 8
      Top = 42
      Width = 120
      Height = 17
      Caption = 'Popup Link'
      TabOrder = 1
    end
  end
  object gbxURLLink: TGroupBox
    Left = 8
    Top = 90
    Width = 348
    Height = 64
    Caption = 'URL Link'
    TabOrder = 4
    Visible = False
    object lblURL: TLabel
      Left = 8
      Top = 24
      Caption = 'External URL'
    end
    object edtURL: TEdit
      Left = 104
      Top = 20
      Width = 236
      Height = 21
      TabOrder = 0
    end
  end
  object gbxEMailLink: TGroupBox
    Left = 8
    Top = 90
    Width = 348
    Height = 64
    Caption = 'E-Mail Link'
    TabOrder = 5
    Visible = False
    object lblEMail: TLabel
      Left = 8
      Top = 24
      Caption = 'External E-Mail'
    end
    object edtEMail: TEdit
      Left = 104
      Top = 20
      Width = 236
      Height = 21
      TabOrder = 0
    end
  end
  object btnOK: TButton
    Left = 281
    Top = 160
    Width = 75
    Height = 25
    Caption = 'OK'
    Default = True
    TabOrder = 6
    OnClick = btnOKClick
  end
end
