object TestPageForm: TTestPageForm
  BorderIcons = [biSystemMenu]
  BorderStyle = bsDialog
  Caption = 'Test page'
  ClientHeight = 368
  ClientWidth = 470
  Font.Name = 'Arial'
  Font.Height = -11
  Position = poScreenCenter
  object lblText: TLabel
    Left = 144
    Top = 16
    Caption = 'A page of the test setup.'
  end
  object BackBtn: TButton
    Left = 208
    Top = 331
    Width = 75
    Height = 33
    Caption = '< Previous'
    OnClick = BackBtnClick
  end
  object ProceedBtn: TButton
    Left = 288
    Top = 331
    Width = 75
    Height = 33
    Caption = 'Next >'
    OnClick = ProceedBtnClick
  end
  object CancelBtn: TButton
    Left = 368
    Top = 331
    Width = 89
    Height = 33
    Caption = 'Cancel'
    OnClick = CancelBtnClick
  end
end
