object frmTableOfContents: TfrmTableOfContents
  Width = 318
  Height = 332
  Caption = 'Table Of Contents'
  HelpContext = 9
  Menu = MainMenu1
  Position = poScreenCenter
  object lstItems: TTreeView
    Align = alClient
    Images = ImageList1
    Indent = 19
    PopupMenu = PopupMenu1
    ReadOnly = True
    RightClickSelect = True
    TabOrder = 0
    OnDblClick = lstItemsDblClick
    OnMouseDown = lstItemsMouseDown
    OnMouseMove = lstItemsMouseMove
    OnMouseUp = lstItemsMouseUp
  end
  object ImageList1: TImageList
    Bitmap = {
      424D760100000000000076000000280000002000000010000000010004000000
      000000010000130B0000130B00001000000000000000FFFFFF00000000008000
      0000C040000000FFFF00C0C0C00000008000FFFFFF0000000000000000000000
      0000000000000000000000000000000000000000000000000000000000000000
      0000000000000001111111111110001111111111111000122222222222100010
      0000000000100113333333333310001000000000001001033333333333100010
      0111111110100113333333333310001000000000001001033333333333100010
      0111111100100113333333333310001000000000001001033333333333100010
      0111111110100113333333333310001000000000001001033334443333100010
      0111100000100113333444333310001000001111100000133333333333100010
      0000015510000013333333333310001000000151000000011111111111100011
      11111110000000000000000000000000000000000000
      }
  end
  object MainMenu1: TMainMenu
    object Item1: TMenuItem
      Caption = '&Item'
      object AddNewGroupInCurrentGroup1: TMenuItem
        Caption = 'Add New Group'
        OnClick = AddNewGroupInCurrentGroup1Click
      end
      object N1: TMenuItem
        Caption = '-'
      end
      object NewItemAtSubLevel1: TMenuItem
        Caption = 'Add New Topic'
        OnClick = NewItemAtSubLevel1Click
      end
      object N2: TMenuItem
        Caption = '-'
      end
      object DeleteTopicGroup1: TMenuItem
        Caption = '&Delete Topic/Group'
        OnClick = DeleteTopicGroup1Click
      end
      object N3: TMenuItem
        Caption = '-'
      end
      object Properties1: TMenuItem
        Caption = '&Properties'
        OnClick = Properties1Click
      end
      object N4: TMenuItem
        Caption = '-'
      end
      object Done1: TMenuItem
        Caption = 'Done'
        OnClick = Done1Click
      end
    end
  end
  object PopupMenu1: TPopupMenu
    object AddNewGroup2: TMenuItem
      Caption = 'Add New Group'
      OnClick = AddNewGroupInCurrentGroup1Click
    end
    object N5: TMenuItem
      Caption = '-'
    end
    object AddNewTopic2: TMenuItem
      Caption = 'Add New Topic'
      OnClick = NewItemAtSubLevel1Click
    end
    object N6: TMenuItem
      Caption = '-'
    end
    object DeleteTopicGroup2: TMenuItem
      Caption = '&Delete Topic/Group'
      OnClick = DeleteTopicGroup1Click
    end
    object N7: TMenuItem
      Caption = '-'
    end
    object Properties2: TMenuItem
      Caption = '&Properties'
      OnClick = Properties1Click
    end
  end
end
