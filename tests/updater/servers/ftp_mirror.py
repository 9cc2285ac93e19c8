#!/usr/bin/env python3
"""An FTP mirror for the updater's tests: anonymous read access to one folder on 127.0.0.1 at a
free port; prints "PORT n" once it listens."""
import logging
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer

logging.basicConfig(level=logging.CRITICAL)
authorizer = DummyAuthorizer()
authorizer.add_anonymous(sys.argv[1])
FTPHandler.authorizer = authorizer
FTPHandler.banner = "test mirror"
server = FTPServer(("127.0.0.1", 0), FTPHandler)
print("PORT", server.address[1], flush=True)
server.serve_forever()
