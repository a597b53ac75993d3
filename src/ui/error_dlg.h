// The small error dialog that start-up shows before the main dialog exists.
#pragma once
#include "framework/afx.h"
#include "resource.h"

class CErrorDlg : public CDialog {
 public:
  explicit CErrorDlg(CWnd* pParent = nullptr) : CDialog(IDD, pParent) {}

  enum { IDD = IDD_ERROR };

  CString m_strMessage;
  DWORD m_dwErrorCode = 0;

 protected:
  void DoDataExchange(CDataExchange* pDX) override {
    CDialog::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_ERROR_MESSAGE, m_strMessage);
    DDX_Text(pDX, IDC_ERROR_CODE, m_dwErrorCode);
  }
};
