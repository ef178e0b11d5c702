object FolderBrowser: TFolderBrowser
  BorderStyle = bsDialog
  Caption = 'Browse for Folder'
  ClientWidth = 310
  ClientHeight = 300
  Position = poScreenCenter
  object lblTitle: TLabel
    Left = 12
    Top = 8
    Width = 286
    Height = 30
    AutoSize = False
    WordWrap = True
  end
  object tvFolders: TTreeView
    Left = 12
    Top = 44
    Width = 286
    Height = 190
    ReadOnly = True
    TabOrder = 0
  end
  object btnOK: TButton
    Left = 142
    Top = 268
    Width = 75
    Height = 23
    Caption = 'OK'
    Default = True
    ModalResult = 1
    TabOrder = 1
  end
  object btnCancel: TButton
    Left = 223
    Top = 268
    Width = 75
    Height = 23
    Cancel = True
    Caption = 'Cancel'
    ModalResult = 2
    TabOrder = 2
  end
end
