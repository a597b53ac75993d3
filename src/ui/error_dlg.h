// The small error dialog that start-up shows before the main dialog exists.
#pragma once
#include "framework/afx.h"
#include "resource.h"
#include "ui/operator_texts.h"

class CErrorDlg : public CDialog {
 public:
  explicit CErrorDlg(CWnd* pParent = nullptr) : CDialog(IDD, pParent) {}

  enum { IDD = IDD_ERROR };

  CString m_strMessage;
  DWORD m_dwErrorCode = 0;
  // The language the operator reads the dialog in.
  OperatorLanguage m_language = OperatorLanguage::English;

 protected:
  BOOL OnInitDialog() override {
    BOOL result = CDialog::OnInitDialog();
    TranslateTemplateTexts(*this, m_language);
    return result;
  }
  void DoDataExchange(CDataExchange* pDX) override {
    CDialog::DoDataExchange(pDX);
    // The message is one of the program's English texts, shown in the
    // operator's language; nobody can edit it.
    if (!pDX->m_bSaveAndValidate) {
      CWnd message;
      message.m_hWnd = GetDlgItemHwnd(IDC_ERROR_MESSAGE);
      message.SetWindowTextUtf8(ShownText(m_strMessage.str(), m_language).c_str());
    }
    DDX_Text(pDX, IDC_ERROR_CODE, m_dwErrorCode);
  }
};
