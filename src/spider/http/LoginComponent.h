#pragma once

// Base of components that log in somewhere: a user name and a password.

#include <string>

class TLoginComponent {
  public:
    virtual ~TLoginComponent() = default;

    const std::string& Username() const { return m_Username; }
    void SetUsername(const std::string& value) { m_Username = value; }
    const std::string& Password() const { return m_Password; }
    void SetPassword(const std::string& value) { m_Password = value; }

  private:
    std::string m_Username;
    std::string m_Password;
};
