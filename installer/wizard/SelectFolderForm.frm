object SelectFolderForm: TSelectFolderForm
  BorderIcons = [biSystemMenu]
  BorderStyle = bsDialog
  Caption = 'Select folder in start menu'
  ClientHeight = 368
  ClientWidth = 470
  Color = clBtnFace
  Font.Name = 'Arial'
  Font.Height = -11
  FormStyle = fsStayOnTop
  Position = poScreenCenter
  OnCreate = FormCreate
  OnResize = FormResize
  object BottomPanel: TPanel
    Left = 0
    Top = 316
    Width = 470
    Height = 52
    Align = alBottom
    BevelOuter = bvNone
    Caption = ''
    object Bevel1: TBevel
      Left = 0
      Top = 0
      Width = 470
      Height = 2
      Align = alTop
      Shape = bsTopLine
    end
    object BackBtn: TTranslateBitBtn
      Left = 208
      Top = 15
      Width = 75
      Height = 33
      Caption = '< Previous'
      GLID = 4
      OnClick = BackBtnClick
    end
    object ProceedBtn: TTranslateBitBtn
      Left = 288
      Top = 15
      Width = 75
      Height = 33
      Caption = 'Next >'
      Default = True
      GLID = 5
      OnClick = ProceedBtnClick
    end
    object CancelBtn: TTranslateBitBtn
      Left = 368
      Top = 15
      Width = 89
      Height = 33
      Kind = bkCancel
      Caption = 'Cancel'
      ModalResult = 0
      GLID = 6
      OnClick = CancelBtnClick
    end
  end
  object LeftPanel: TPanel
    Left = 0
    Top = 0
    Width = 136
    Height = 316
    Align = alLeft
    BevelOuter = bvNone
    Caption = ''
    object ThemeBitmap: TImage
      Left = 0
      Top = 0
      Width = 136
      Height = 316
      Align = alClient
      Center = True
    end
  end
  object FolderPanel: TPanel
    Left = 136
    Top = 0
    Width = 334
    Height = 316
    Align = alClient
    BevelOuter = bvNone
    BorderWidth = 8
    Caption = ''
    object TopDescriptionLabel: TTranslateLabel
      Left = 8
      Top = 8
      Width = 318
      Height = 56
      Align = alTop
      AutoSize = False
      WordWrap = True
      Caption = 'Setup will add program icons to the Program Folder listed below. You may type a new folder name, or select from the E&xisting Folders list.'
      GLID = 41
    end
    object Label1: TTranslateLabel
      Left = 8
      Top = 64
      Width = 318
      Height = 18
      Align = alTop
      AutoSize = False
      Caption = ''
      GLID = 0
    end
    object ProgramFolders: TTranslateLabel
      Left = 8
      Top = 82
      Width = 318
      Height = 16
      Align = alTop
      AutoSize = False
      WordWrap = True
      Caption = '&Program Folder'
      FocusControl = FolderEdit
      GLID = 42
    end
    object FolderEdit: TEdit
      Left = 8
      Top = 98
      Width = 318
      Height = 21
      Align = alTop
      OnChange = FolderEditChange
    end
    object Label3: TTranslateLabel
      Left = 8
      Top = 119
      Width = 318
      Height = 8
      Align = alTop
      AutoSize = False
      Caption = ''
      GLID = 0
    end
    object ExistingFolders: TTranslateLabel
      Left = 8
      Top = 127
      Width = 318
      Height = 16
      Align = alTop
      AutoSize = False
      WordWrap = True
      Caption = 'E&xisting Folders'
      FocusControl = FolderListBox
      GLID = 43
    end
    object Label4: TTranslateLabel
      Left = 8
      Top = 143
      Width = 318
      Height = 8
      Align = alTop
      AutoSize = False
      Caption = ''
      GLID = 0
    end
    object FolderListBox: TListBox
      Left = 8
      Top = 151
      Width = 318
      Height = 157
      Align = alClient
      Sorted = True
      OnClick = FolderListBoxClick
    end
  end
end
