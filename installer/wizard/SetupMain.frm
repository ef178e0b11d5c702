object Form1: TForm1
  Width = 696
  Height = 480
  Caption = 'Setup'
  Position = poScreenCenter
end
