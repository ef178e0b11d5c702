object frmRichTest: TfrmRichTest
  Left = 10
  Top = 10
  Caption = 'Rich text'
  ClientHeight = 240
  ClientWidth = 420
  object mmoPage: TRichEdit
    Align = alClient
    ScrollBars = ssBoth
    HideSelection = False
    WantTabs = True
    ParentFont = False
    Font.Color = clBlack
    Font.Height = -13
    Font.Name = 'Arial'
    Font.Style = []
    OnProtectChange = mmoPageProtectChange
    OnChange = mmoPageChange
  end
end
