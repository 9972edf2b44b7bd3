#include "net/http.h"

http_class http;
