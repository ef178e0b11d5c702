object frmEmbedded: TTestForm
  Caption = 'Embedded'
  OnClick = FormCreate
  object lblHello: TTestControl
    Caption = 'Hello'
  end
end
