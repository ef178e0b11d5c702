object frmMainMenu: TfrmMainMenu
  Width = 746
  Height = 504
  Caption = 'Windows Scrivane'
  Position = poScreenCenter
end
