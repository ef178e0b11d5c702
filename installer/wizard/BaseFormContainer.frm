object BaseFormContainer: TBaseFormContainer
  BorderIcons = []
  BorderStyle = bsDialog
  Caption = 'BaseFormContainer'
  ClientHeight = 368
  ClientWidth = 487
  Color = clBtnFace
  Font.Name = 'Arial'
  Font.Height = -11
  Position = poScreenCenter
  OnClose = FormClose
  OnCreate = FormCreate
  OnResize = FormResize
  OnShow = FormShow
  object Tabs: TTabControl
    Align = alTop
    Height = 0
    Visible = False
    OnChange = TabsChange
    OnChanging = TabsChanging
  end
  object DisplayPanel: TPanel
    Align = alClient
    Caption = 'DisplayPanel'
  end
end
