object frmWindowSetup: TfrmWindowSetup
  Width = 221
  Height = 236
  BorderStyle = bsDialog
  Caption = 'Window Setup'
  Color = clBtnFace
  Font.Name = 'MS Sans Serif'
  Font.Height = -11
  HelpContext = 7
  Position = poScreenCenter
  object Label1: TLabel
    Left = 12
    Top = 8
    Caption = 'Page Header Color'
  end
  object Label2: TLabel
    Left = 12
    Top = 22
    Caption = 'Click To Change'
  end
  object pnlHeaderColor: TPanel
    Left = 12
    Top = 40
    Width = 185
    Height = 25
    BevelOuter = bvNone
    BorderStyle = bsSingle
    Color = clWhite
    TabOrder = 0
    OnClick = pnlHeaderColorClick
  end
  object Label3: TLabel
    Left = 12
    Top = 76
    Caption = 'Page Background Color'
  end
  object Label4: TLabel
    Left = 12
    Top = 90
    Caption = 'Click To Change'
  end
  object pnlPageColor: TPanel
    Left = 12
    Top = 108
    Width = 185
    Height = 41
    BevelOuter = bvNone
    BorderStyle = bsSingle
    Color = clWhite
    TabOrder = 1
    OnClick = pnlPageColorClick
  end
  object btnOK: TButton
    Left = 67
    Top = 164
    Width = 75
    Height = 25
    Caption = 'OK'
    Default = True
    ModalResult = 1
    TabOrder = 2
  end
  object dlgColor: TColorDialog
  end
end
