object frmProgress: TfrmProgress
  Width = 381
  Height = 57
  BorderIcons = []
  BorderStyle = bsDialog
  Caption = 'Progress'
  Color = clBtnFace
  Font.Name = 'MS Sans Serif'
  Font.Height = -11
  Position = poScreenCenter
  OnClose = FormClose
  object barProgress: TProgressBar
    Align = alClient
    Min = 0
    Max = 100
  end
end
