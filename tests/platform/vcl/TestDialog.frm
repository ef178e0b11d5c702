object dlgTest: TdlgTest
  Left = 10
  Top = 20
  BorderStyle = bsDialog
  Caption = 'Test Dialog'
  ClientHeight = 120
  ClientWidth = 300
  Position = poScreenCenter
  OnClose = FormClose
  OnCloseQuery = FormCloseQuery
  OnCreate = FormCreate
  object edtName: TTestEdit
    Left = 8
    Top = 8
    Width = 200
    Height = 21
    TabOrder = 0
  end
  object btnOk: TTestButton
    Left = 136
    Top = 88
    Caption = 'OK'
    Default = True
    ModalResult = 1
    TabOrder = 1
  end
  object btnCancel: TTestButton
    Left = 216
    Top = 88
    Caption = 'Cancel'
    Cancel = True
    ModalResult = 2
    TabOrder = 2
  end
end
