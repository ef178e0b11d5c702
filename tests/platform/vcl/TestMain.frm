object frmTestMain: TfrmTestMain
  Left = 100
  Top = 50
  ActiveControl = edtNote
  Caption = 'Test Main'
  ClientHeight = 200
  ClientWidth = 400
  Color = clBtnFace
  Font.Charset = 0
  Font.Color = clWindowText
  Font.Height = -13
  Font.Name = 'Arial'
  Font.Style = [fsBold]
  OnCreate = FormCreate
  object pnlTop: TWinControl
    Height = 41
    Align = alTop
    Color = clRed
    object edtNote: TTestEdit
      Left = 8
      Top = 10
      Width = 150
      Height = 21
    end
  end
  object btnOpen: TTestButton
    Left = 8
    Top = 60
    Caption = '&Open'
    OnClick = btnOpenClick
  end
  object btnFail: TTestButton
    Left = 100
    Top = 60
    Caption = 'Fail'
    HelpContext = 42
    OnClick = btnFailClick
  end
end
